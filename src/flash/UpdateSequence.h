#pragma once
// Everything between a click on PROGRAM and the end of the program: the file
// check, the bootloader request, the choice of route by the greeting letter,
// the bootloader installation with its power-cycle prompt, the firmware pass
// and the completion message.

#include "flash/BlockTransfer.h"
#include "flash/BootloaderLink.h"
#include "flash/TargetState.h"
#include "flash/UpdateEvents.h"
#include "image/MemoryImage.h"
#include "view/ProgramFlags.h"

#include <QString>
#include <array>
#include <functional>

namespace romwright {

class Dialogs;

// How far an update has changed the scanner, which decides what an
// interruption leaves behind and how to come back from it.
enum class UpdatePhase {
    Unchanged,     // request, greetings, checks: the scanner is as it was
    ReplacingBoot, // the old-boot route from its "G" to the last bootloader record
    NewBoot,       // new boot software installed, its firmware not yet begun
    NoFirmware,    // the firmware pass has erased the flash
    Completed,
};

// The interruption's message for a phase (signal, closed window, end of input).
const char *interruptionText(UpdatePhase phase);

class UpdateSequence {
public:
    UpdateSequence(BootloaderLink &link, MainView &view, Dialogs &dialogs, ProgramFlags &flags,
                   TargetState &target);

    // The click of cmdProgram. Stopped when it gave up with the window still
    // usable (no file, files not all valid, port not open); otherwise an End
    // value: the caller ends the program at once. The port is closed on every
    // End. firmware.FilesValid is asked at the click and again just before a
    // route begins, since the File menu is usable during a greeting retry.
    // A click while an update runs (PROGRAM is disabled then, so only a
    // caller that skipped the button can make one) is ignored: Stopped.
    Outcome cmdProgram_Click(const FirmwareSet &firmware);

    // What the user is told when the program must end (the completion, a
    // time-out, a stalled or lost line, no blocks); then the port is closed.
    void announceEnd(Outcome end);

    // From the click until the update stops or the program must end.
    bool running() const { return m_running; }

    // The three routes, each from its first command to its end.
    Outcome InstallBootloader(const FirmwareSet &firmware);
    Outcome ProgramFirmware64(const FirmwareSet &firmware);
    Outcome ProgramFirmware128(const FirmwareSet &firmware);

    // The power-cycle prompt. The default shows the message and goes on; a
    // front end without a person may answer false, which ends the program.
    std::function<bool(const QString &text, const QString &title)> powerCyclePrompt;

    // Whether the loaded file may go into this scanner, asking the user if
    // need be; false stops before anything of the file is sent. Asked after
    // the file check and again before a route begins.
    std::function<bool()> firmwareCheck;

    // Called just before the first byte that changes the scanner, with the
    // greeting letter of the boot software the route talks to ('Z' before
    // the old-boot route's "G", 'Q' or 'A' before a firmware pass's "z"):
    // what an interruption from there on needs to be finished is recorded.
    std::function<void(char boot)> beforeChange;

    // Called as the click's update comes to its end, with its outcome,
    // before that end is told (the window's message waits for the user).
    std::function<void(Outcome)> ended;

    UpdatePhase phase() const { return m_phase; }
    // Where and how the last update ended early; nullopt after a completed one.
    const std::optional<UpdateFailure> &failure() const { return m_failure; }

    BlockTransfer &transfer() { return m_transfer; }

private:
    Outcome click(const FirmwareSet &firmware);
    Outcome stop(bool portMenu);
    void lockForRoute();
    Outcome programFirmware(const FirmwareSet &firmware, bool blocks128);
    Outcome awaitGreetingAndProgram(const FirmwareSet &firmware);

    BootloaderLink &m_link;
    MainView &m_view;
    Dialogs &m_dialogs;
    ProgramFlags &m_flags;
    TargetState &m_target;
    BlockTransfer m_transfer;
    // cmdBrowse and the processor options as they were at the click.
    std::array<bool, 3> m_lockedBefore{};
    bool m_running = false;
    UpdatePhase m_phase = UpdatePhase::Unchanged;
    std::optional<UpdateFailure> m_failure;
};

} // namespace romwright
