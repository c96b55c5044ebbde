#include "app/window/WindowEnding.h"

#include "app/update/UpdateMessages.h"
#include "app/window/MainWindow.h"

namespace romwright {

namespace {

// The lamp that stands for the step an update was in.
LampId lampOfStep(UpdateStep step)
{
    switch (step) {
    case UpdateStep::Request:
    case UpdateStep::Greeting:
    case UpdateStep::RamLoader:
    case UpdateStep::PowerCycle:
        return LampId::Communication;
    case UpdateStep::Erase:
        return LampId::FlashErase;
    case UpdateStep::BootSoftware:
    case UpdateStep::FirmwarePass:
        return LampId::Working;
    case UpdateStep::Reset:
    case UpdateStep::Done:
        break;
    }
    return LampId::Program;
}

QString sentence(const QString &text)
{
    return text.isEmpty() ? text : text.front().toUpper() + text.mid(1) + QLatin1Char('.');
}

} // namespace

WindowEnding windowEnding(Outcome outcome, const std::optional<UpdateFailure> &failure)
{
    WindowEnding ending{updateEnding(outcome, failure), {}, {}};
    const LampId stepLamp = lampOfStep(failure ? failure->step : UpdateStep::Request);
    switch (outcome) {
    case Outcome::EndCompleted:
        ending.status =
            QString::fromLatin1(messages::kComplete).section(QLatin1Char('.'), 0, 0) + QLatin1Char('.');
        return ending;
    case Outcome::EndTimedOut:
        ending.failed = {LampId::Communication};
        break;
    case Outcome::EndConnectionLost:
        // The line went away: whatever the step, the line is what failed.
        ending.failed = {LampId::Communication};
        if (stepLamp != LampId::Communication)
            ending.failed.push_back(stepLamp);
        break;
    case Outcome::EndStalled:
        ending.failed = {stepLamp};
        break;
    case Outcome::EndNoBlocks:
        ending.failed = {LampId::FileOk};
        break;
    case Outcome::EndClosed: // the user ended it: nothing more to say
        return ending;
    case Outcome::EndCancelled:
    case Outcome::EndWrongModel:
    case Outcome::Ok:
    case Outcome::Missed:
    case Outcome::Stopped:
        break;
    }
    // The short form fits the line; where and how is the message's.
    ending.status = sentence(updateEnding(outcome, std::nullopt).text);
    return ending;
}

WindowEnding windowStop(UpdateStop why)
{
    WindowEnding ending{RunEnding::completed(), {}, {}};
    if (why == UpdateStop::PortNotOpen)
        ending.failed = {LampId::ComStatus};
    return ending;
}

void showEnding(MainWindow &window, const WindowEnding &ending)
{
    // The beat of the blocks ends with the pass, however it ends.
    window.setProgress(0, 0);
    window.setUpdatingNoteVisible(false);
    for (const LampId lamp : ending.failed)
        window.setLamp(lamp, Lamp::Red);
    window.setStatus(ending.status);
}

} // namespace romwright
