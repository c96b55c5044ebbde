#include "flash/Outcome.h"

namespace romwright {

const char *describe(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Ok:
        return "ok";
    case Outcome::Missed:
        return "no greeting";
    case Outcome::Stopped:
        return "update stopped before it began";
    case Outcome::EndCompleted:
        return "update complete";
    case Outcome::EndTimedOut:
        return "timed out waiting for the bootloader";
    case Outcome::EndStalled:
        return "the scanner stopped responding";
    case Outcome::EndConnectionLost:
        return "the connection to the scanner was lost";
    case Outcome::EndCancelled:
        return "the power-cycle prompt was not confirmed";
    case Outcome::EndNoBlocks:
        return "no block of the firmware image fits the scanner's boot software";
    case Outcome::EndWrongModel:
        return "the scanner answers as another model after the update";
    case Outcome::EndClosed:
        return "the program was ended during the update";
    }
    return "";
}

} // namespace romwright
