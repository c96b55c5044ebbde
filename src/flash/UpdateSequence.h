#pragma once
// Everything between a click on PROGRAM and the end of the program: the file
// check, the bootloader request, the choice of route by the greeting letter,
// the bootloader installation with its power cycle, the firmware pass and
// the end, each reported to UpdateEvents as it happens.

#include "family/ScannerFamilies.h"
#include "flash/BlockTransfer.h"
#include "flash/BootloaderLink.h"
#include "flash/TargetState.h"
#include "flash/UpdateEvents.h"
#include "image/MemoryImage.h"

#include <functional>

namespace romwright {

class UpdateSequence {
public:
    // events hears everything the update does and must outlive it.
    UpdateSequence(BootloaderLink &link, UpdateEvents &events, TargetState &target);

    // The processor the next click updates: its requests ask for that
    // processor's boot software. Main until set; set before a click, not
    // while one runs.
    void setProcessor(Processor processor) { m_processor = processor; }

    // The click of cmdProgram. Stopped when it gave up with the window still
    // usable (no file, files not all valid, port not open); otherwise an End
    // value: the caller ends the program at once. The port is closed on every
    // End, after events.ended. firmware.FilesValid is asked at the click and again just before a
    // route begins, since the File menu is usable during a greeting retry.
    // A click while an update runs (PROGRAM is disabled then, so only a
    // caller that skipped the button can make one) is ignored: Stopped.
    Outcome cmdProgram_Click(const FirmwareSet &firmware);

    // The end reported (the completion, a time-out, a stalled or lost line,
    // no blocks), with its failure for every end but the completion; then
    // the port is closed.
    void announceEnd(Outcome end);

    // From the click until the update stops or the program must end.
    bool running() const { return m_running; }

    // The three routes, each from its first command to its end.
    Outcome InstallBootloader(const FirmwareSet &firmware);
    Outcome ProgramFirmware64(const FirmwareSet &firmware);
    Outcome ProgramFirmware128(const FirmwareSet &firmware);

    // Whether the loaded file may go into this scanner, asking the user if
    // need be; false stops before anything of the file is sent. Asked after
    // the file check and again before a route begins.
    std::function<bool()> firmwareCheck;

    // Called just before the first byte that changes the scanner, with the
    // greeting letter of the boot software the route talks to ('Z' before
    // the old-boot route's "G", 'Q' or 'A' before a firmware pass's "z"):
    // what an interruption from there on needs to be finished is recorded.
    std::function<void(char boot)> beforeChange;

    // Called once the scanner holds its whole firmware: the last block
    // acknowledged and the restart "R" sent. An interruption from here on
    // leaves a scanner running its new firmware, with nothing to finish.
    std::function<void()> firmwareWritten;

    // One question of the restarted scanner's identity, with the port closed:
    // the name its new firmware answers with, nullopt when it does not. After
    // a completed update it is asked until it answers or answerBound has
    // passed, askAgain apart. Unset, nothing is asked.
    std::function<std::optional<QString>()> askIdentity;
    // Whether that name is the model the firmware was written for; an
    // answer that is not ends the update as EndWrongModel. Unset: any is.
    std::function<bool(const QString &name)> answersAsProgrammed;

    // Called as the click's update comes to its end, with its outcome,
    // before that end is told (the window's message waits for the user).
    std::function<void(Outcome)> ended;

    UpdatePhase phase() const { return m_phase; }
    // The step the last update reached.
    UpdateStep step() const { return m_step; }
    // Where and how the last update ended early; nullopt after a completed one.
    const std::optional<UpdateFailure> &failure() const { return m_failure; }

private:
    Outcome click(const FirmwareSet &firmware);
    Outcome stop(UpdateStop why);
    void enter(UpdateStep step);
    UpdateFailure failureHere() const;
    Outcome programFirmware(const FirmwareSet &firmware, bool blocks128);
    Outcome awaitGreetingAndProgram(const FirmwareSet &firmware);
    std::optional<QString> identityAfterUpdate();

    BootloaderLink &m_link;
    UpdateEvents &m_events;
    TargetState &m_target;
    Processor m_processor = Processor::Main;
    BlockTransfer m_transfer;
    bool m_running = false;
    UpdatePhase m_phase = UpdatePhase::Unchanged;
    UpdateStep m_step = UpdateStep::Request;
    std::optional<UpdateFailure> m_failure;
};

} // namespace romwright
