#pragma once
// The texts and titles an update is shown with. They are the program's own
// words and are shown exactly so.

#include "flash/UpdateEvents.h"

namespace romwright::messages {

inline constexpr const char *kSelectFirmware =
    "You must select a firmware file before programming can take place. "
    "Please select a file and click the Program button again.";

inline constexpr const char *kPortFailure =
    "The communication port you have selected is not installed or in use by another application.\r"
    "If Scorvane is running please close it before trying to update your firmware again.";

// Follows kPortFailure: %1 the port chosen, with its device where known.
inline constexpr const char *kPortChosen = "The port chosen is %1.";
inline constexpr const char *kNoPortChosen = "No port is chosen: choose one in the Port menu.";

inline constexpr const char *kPowerCycle = "Please unplug power from the scanner. After 5 seconds plug the "
                                           "scanner in again and click the OK button.";
// After kPowerCycle, on a line of its own.
inline constexpr const char *kPowerCycleCable = "Leave the serial cable connected.";
// The OK button, and the line under the prompt, while the scanner's seconds
// off run down; then the line once they have.
inline constexpr const char *kPowerCycleCountdown = "OK (%1 s)";
inline constexpr const char *kPowerCycleSecondsLeft = "Keep the power unplugged: %1 s left.";
inline constexpr const char *kPowerCycleNow = "Now plug the power in again and click OK.";
inline constexpr int kPowerCycleSeconds = 5;

inline constexpr const char *kComplete = "The firmware update is complete. The Romwright will now exit.";

// After kComplete when a Wexmoor's Main processor was updated.
inline constexpr const char *kCompleteUpdateBarCode =
    " Update the BarCode processor as well: start the Romwright again and choose BarCode.";

// What the scanner's new firmware said when asked its identity after the
// update; the window adds it to kComplete after a blank line.
inline constexpr const char *kAnswersAfterUpdate = "The scanner answers as %1.";
inline constexpr const char *kNoAnswerAfterUpdate =
    "The scanner did not answer after the update. Switch it off and on; if it still does not answer, run the "
    "update again.";

// The flash was written, and the restarted scanner names another model: %1
// the model it answers as, %2 the model the firmware was for.
inline constexpr const char *kWrongModelAfterUpdate =
    "The firmware was written, but the scanner now answers as %1, not %2. Check that the firmware file "
    "is the one for this scanner before it is used again.";

inline constexpr const char *kTimedOut = "The Romwright timed out.";

// A port that nothing has come from: %1 the port, %2 its device in brackets
// (" (/dev/ttyUSB0)") or nothing. Said at start-up for a port named by hand,
// and after kTimedOut.
// %1 the port as the system names it ("port 1", "COM1"), %2 its device.
inline constexpr const char *kNothingAnswered = "Nothing answered on %1%2.";
inline constexpr const char *kCheckSilentPort =
    "Check that the scanner is switched on, that its serial cable is plugged in at both ends, and that "
    "%1 is the one the cable is plugged into.";

inline constexpr const char *kStalled = "The scanner stopped responding during the update. "
                                        "Please restart the scanner and the Romwright and try again.";

inline constexpr const char *kConnectionLost =
    "The connection to the scanner was lost during the update. "
    "Please check the cable, restart the scanner and the Romwright and try again.";

inline constexpr const char *kNoBlocks =
    "The firmware image holds no blocks for this scanner's boot software. The update was stopped.";

// What an update cut short leaves in the scanner, and the way back from it.
inline constexpr const char *kInterruptedUnchanged =
    "The update was interrupted before the scanner was changed.";
inline constexpr const char *kInterruptedReplacingBoot =
    "The update was interrupted while the scanner's boot software was being replaced. Switch the scanner "
    "off and on and run the update again; if it does not greet, it needs service.";
inline constexpr const char *kInterruptedNoFirmware =
    "The update was interrupted. The scanner keeps its boot software: run the update again to finish it.";
// From the restart request on, before any route changed the scanner: it
// waits in its boot software, and the record of the update finishes it.
inline constexpr const char *kInterruptedRestarted =
    "The update was interrupted after the scanner was restarted into its boot software, before anything in "
    "it was changed. It waits there now: run romwright --console --yes, or start the Romwright window, to "
    "finish the update.";
// The same without a record (no model known yet, or the state folder could not be written).
inline constexpr const char *kInterruptedRestartedNoRecord =
    "The update was interrupted after the scanner was restarted into its boot software, before anything in "
    "it was changed. It waits there now: name its port and model to finish the update: romwright --console "
    "--port N --model NAME";
// Written and acknowledged; only the question of the restarted scanner's identity was cut short.
inline constexpr const char *kInterruptedIdentity =
    "The update is complete: the scanner has its new firmware. Asking the scanner its identity afterwards "
    "was interrupted, so its answer is not known.";
inline constexpr const char *kInterruptedNewBoot =
    "The update was interrupted. The scanner has its new boot software but no firmware: switch it off and "
    "on and run the update again to finish it.";

// After a stall or a lost line inside a route that had changed the scanner:
// the reason comes first, then this.
inline constexpr const char *kWayBackReplacingBoot =
    "Its boot software was being replaced: switch the scanner off and on and run the update again; if it "
    "does not greet, it needs service.";
inline constexpr const char *kWayBackNoFirmware =
    "The scanner has no firmware now but keeps its boot software: switch it off and on and run the update "
    "again to finish it.";
// What an update that stops in each phase leaves the scanner with, in each
// of the places it is said: the one mapping from a phase to prose.
struct PhaseProse {
    const char *interrupted; // a signal, the window closed, the end of input
    const char *wayBack; // after a stall's or lost line's reason; nullptr: the reason's own text says it all
    const char
        *ifClosed; // the close question's "If you close the Romwright now, %1."; nullptr: nothing to lose
};

constexpr PhaseProse phaseProse(UpdatePhase phase)
{
    switch (phase) {
    case UpdatePhase::ReplacingBoot:
        return {kInterruptedReplacingBoot, kWayBackReplacingBoot,
                "the scanner's boot software is left half replaced, and the scanner may need service"};
    case UpdatePhase::NewBoot:
        return {kInterruptedNewBoot, kWayBackNoFirmware,
                "the scanner keeps its boot software and has no firmware until the update is run again"};
    case UpdatePhase::NoFirmware:
        return {kInterruptedNoFirmware, kWayBackNoFirmware,
                "the scanner keeps its boot software and has no firmware until the update is run again"};
    case UpdatePhase::Completed: // written and acknowledged: only the restarted scanner's answer is awaited
        return {kInterruptedIdentity, nullptr, nullptr};
    case UpdatePhase::Unchanged:
        break;
    }
    return {kInterruptedUnchanged, nullptr,
            "the scanner is left unchanged, waiting in its boot software until it is switched off and on"};
}

inline constexpr const char *kStalledReason = "The scanner stopped responding during the update.";
inline constexpr const char *kConnectionLostReason =
    "The connection to the scanner was lost during the update. Please check the cable.";

inline constexpr const char *kCommunicationsFailureTitle = "Communications Failure";
inline constexpr const char *kTimeoutFailureTitle = "Timeout Failure";
inline constexpr const char *kPowerCycleTitle = "Power Cycle";

} // namespace romwright::messages
