#pragma once
// Everything between a click on PROGRAM and the end of the program: the file
// check, the bootloader request, the choice of route by the greeting letter,
// the bootloader installation with its power cycle, the firmware pass and
// the end, each reported to the update's listeners as it happens and each
// question put to its one UpdateDecisions.

#include "family/ScannerFamilies.h"
#include "flash/BlockTransfer.h"
#include "flash/BootloaderLink.h"
#include "flash/TargetState.h"
#include "flash/UpdateDecisions.h"
#include "flash/UpdateEvents.h"
#include "flash/UpdateListeners.h"
#include "image/MemoryImage.h"

#include <atomic>

namespace romwright {

struct BootloaderPass;
struct Route;

class UpdateSequence {
public:
    // decisions answers what the update asks and must outlive it.
    UpdateSequence(BootloaderLink &link, UpdateDecisions &decisions, TargetState &target);

    // Listeners subscribe each on its own and hear every event; see UpdateListeners.
    void listen(UpdateEvents &listener, bool first = false) { m_listeners.add(listener, first); }
    void stopListening(UpdateEvents &listener) { m_listeners.remove(listener); }

    // The processor the next click updates: its requests ask for that
    // processor's boot software. Main until set; set before a click, not
    // while one runs.
    void setProcessor(Processor processor) { m_processor = processor; }

    // The click of cmdProgram. Stopped when it gave up with the window still
    // usable (no file, files not all valid, port not open); otherwise an End
    // value: the caller ends the program at once. The port is closed on every
    // End, after the listeners' ended; failure() is set by the time they
    // hear finished, before any end is told. firmware.FilesValid is asked at
    // the click and again just before a route begins, since the File menu
    // is usable during a greeting retry.
    // A click while an update runs (PROGRAM is disabled then, so only a
    // caller that skipped the button can make one) is ignored: Stopped.
    Outcome cmdProgram_Click(const FirmwareSet &firmware);

    // Start-up's identification of the boot software (BootloaderLink's
    // IdentifyTarget), announced to the listeners before its request.
    Outcome IdentifyTarget(bool barCodeProcessor, GreetingCounts counts = GreetingCounts::Shared);

    // The end reported (the completion, a time-out, a stalled or lost line,
    // no blocks), with its failure for every end but the completion; then
    // the port is closed.
    void announceEnd(Outcome end);

    // From the click until the update stops or the program must end.
    bool running() const { return m_running; }

    // The old boot software's route up to the power cycle: the new boot
    // software written through the RAM loader.
    Outcome InstallBootloader(const FirmwareSet &firmware);

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
    Outcome takeRoute(const FirmwareSet &firmware, const Route &route);
    void setFailure(Outcome end);
    Outcome programFirmware(const FirmwareSet &firmware, const BootloaderPass &pass);
    Outcome awaitGreetingAndProgram(const FirmwareSet &firmware);
    std::optional<QString> identityAfterUpdate();

    BootloaderLink &m_link;
    UpdateDecisions &m_decisions;
    UpdateListeners m_listeners;
    TargetState &m_target;
    Processor m_processor = Processor::Main;
    BlockTransfer m_transfer;
    // Read by the window's close question and a signal's handler on their
    // own threads while the update runs on the line's.
    std::atomic<bool> m_running = false;
    std::atomic<UpdatePhase> m_phase = UpdatePhase::Unchanged;
    UpdateStep m_step = UpdateStep::Request;
    std::optional<UpdateFailure> m_failure;
};

} // namespace romwright
