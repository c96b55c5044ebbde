#pragma once
// What a step of the bootloader dialogue came to. The End values mean the
// program must end now: every caller returns them at once, unchanged, and
// the front end ends the process. The update sequence has reported the end
// (and the front end told the user why) and closed the port by then.

namespace romwright {

enum class Outcome {
    Ok,                // the letter came, the step is done
    Missed,            // a greeting did not come and the program goes on
    Stopped,           // the update gave up before a route; the window stays usable
    EndCompleted,      // the completion message was shown
    EndTimedOut,       // a greeting wait timed out for the second time
    EndStalled,        // the scanner stopped answering inside a route
    EndConnectionLost, // a write failed or the line went away inside a route
    EndCancelled,      // the power-cycle prompt was not confirmed
    EndNoBlocks,       // the image holds data but the route's table has no block of it
    EndWrongModel,     // written and acknowledged, but the restarted scanner answers as another model
    EndClosed,         // the user ended the program while a wait ran
};

constexpr bool endsProgram(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Ok:
    case Outcome::Missed:
    case Outcome::Stopped:
        return false;
    case Outcome::EndCompleted:
    case Outcome::EndTimedOut:
    case Outcome::EndStalled:
    case Outcome::EndConnectionLost:
    case Outcome::EndCancelled:
    case Outcome::EndNoBlocks:
    case Outcome::EndWrongModel:
    case Outcome::EndClosed:
        return true;
    }
    return true;
}

const char *describe(Outcome outcome);

} // namespace romwright
