#include "app/update/UpdateController.h"

#include "app/update/UpdateInputs.h"
#include "app/update/UpdateMessages.h"
#include "image/FirmwareCheck.h"
#include "platform/Dialogs.h"
#include "view/MainView.h"

#include <algorithm>
#include <utility>

namespace romwright {

namespace {

constexpr std::array kLockedControls{ControlId::BrowseButton, ControlId::ProcessorMain,
                                     ControlId::ProcessorBarCode};

QString text(const char *s)
{
    return QString::fromLatin1(s);
}

QString failureText(const char *reason, const char *unchangedText, UpdatePhase phase)
{
    const char *wayBack = messages::phaseProse(phase).wayBack;
    return wayBack ? text(reason) + QLatin1Char(' ') + text(wayBack) : text(unchangedText);
}

} // namespace

const char *interruptionText(UpdatePhase phase, bool restarted, bool recordKept)
{
    if (phase == UpdatePhase::Unchanged && restarted)
        return recordKept ? messages::kInterruptedRestarted : messages::kInterruptedRestartedNoRecord;
    return messages::phaseProse(phase).interrupted;
}

UpdateController::UpdateController(MainView &view, Dialogs &dialogs, const UpdateInputs &inputs)
    : m_view(view), m_dialogs(dialogs), m_inputs(inputs)
{
}

namespace {

constexpr std::array kClickLocked{
    ControlId::ProgramButton,    ControlId::ExitButton, ControlId::BrowseButton, ControlId::ProcessorMain,
    ControlId::ProcessorBarCode, ControlId::FileMenu,   ControlId::PortMenu,     ControlId::HelpMenu};

} // namespace

void UpdateController::lockClick()
{
    m_clickLockHeld = true;
    for (std::size_t i = 0; i < kClickLocked.size(); ++i) {
        m_clickLocked[i] = m_view.isControlEnabled(kClickLocked[i]);
        m_view.setControlEnabled(kClickLocked[i], false);
    }
}

void UpdateController::unlockClick()
{
    if (!std::exchange(m_clickLockHeld, false))
        return;
    for (std::size_t i = 0; i < kClickLocked.size(); ++i)
        m_view.setControlEnabled(kClickLocked[i], m_clickLocked[i]);
}

void UpdateController::started()
{
    m_answered.reset();
    m_view.setBusy(true);
    for (ControlId id : {ControlId::FileMenu, ControlId::PortMenu, ControlId::HelpMenu, ControlId::ExitButton,
                         ControlId::ProgramButton})
        m_view.setControlEnabled(id, false);
    // The file and the processor stay put while the update runs.
    for (std::size_t i = 0; i < kLockedControls.size(); ++i) {
        const auto held = std::find(kClickLocked.begin(), kClickLocked.end(), kLockedControls[i]);
        m_lockedBefore[i] = m_clickLockHeld ? m_clickLocked[std::size_t(held - kClickLocked.begin())]
                                            : m_view.isControlEnabled(kLockedControls[i]);
        m_view.setControlEnabled(kLockedControls[i], false);
    }
    m_clickLockHeld = false; // the update holds them now
    m_view.setLamp(LampId::Communication, Lamp::Grey);
    m_view.setLamp(LampId::Program, Lamp::Grey);
}

bool UpdateAnswers::fileChosen() const
{
    return m_inputs.fileChosen();
}

void UpdateController::stopped(UpdateStop why)
{
    switch (why) {
    case UpdateStop::NoFile:
        m_dialogs.message(text(messages::kSelectFirmware), QString(), MessageIcon::None);
        return stop(false);
    case UpdateStop::FileRefused: // the check has said why; the user may click again
        m_view.setControlEnabled(ControlId::ProgramButton, true);
        return stop(false);
    case UpdateStop::PortNotOpen: {
        QString failure = text(messages::kPortFailure);
        if (portChosen) {
            const QString port = portChosen();
            failure += QLatin1Char('\r') + (port.isEmpty() ? text(messages::kNoPortChosen)
                                                           : text(messages::kPortChosen).arg(port));
        }
        m_dialogs.message(failure, text(messages::kCommunicationsFailureTitle), MessageIcon::Exclamation);
        m_view.setControlEnabled(ControlId::PortMenu, true);
        m_view.setControlEnabled(ControlId::ProgramButton, true);
        return stop(true);
    }
    case UpdateStop::NoFileAtGreeting:
        m_dialogs.message(text(messages::kSelectFirmware), QString(), MessageIcon::None);
        m_view.setControlEnabled(ControlId::ProgramButton, false);
        return stop(true);
    case UpdateStop::FileRefusedAtGreeting:
        m_view.setControlEnabled(ControlId::ProgramButton, true);
        return stop(true);
    }
}

void UpdateController::stop(bool portMenu)
{
    m_view.setControlEnabled(ControlId::FileMenu, true);
    m_view.setControlEnabled(ControlId::HelpMenu, true);
    m_view.setControlEnabled(ControlId::ExitButton, true);
    if (portMenu)
        m_view.setControlEnabled(ControlId::PortMenu, true);
    for (std::size_t i = 0; i < kLockedControls.size(); ++i)
        m_view.setControlEnabled(kLockedControls[i], m_lockedBefore[i]);
    m_view.setBusy(false);
}

void UpdateController::retrying()
{
    // The Port and File menus are usable until the repeated greeting.
    m_view.setControlEnabled(ControlId::PortMenu, true);
    m_view.setControlEnabled(ControlId::FileMenu, true);
}

void UpdateController::step(UpdateStep step)
{
    switch (step) {
    case UpdateStep::BootSoftware: // the RAM loader has answered
        m_view.setLamp(LampId::RamLoader, Lamp::Green);
        break;
    case UpdateStep::PowerCycle: // the firmware pass has not begun: its lamps wait for it
        for (LampId id : {LampId::FlashErase, LampId::Working, LampId::Program})
            m_view.setLamp(id, Lamp::Grey);
        break;
    case UpdateStep::Erase:
        m_view.setLamp(LampId::Communication, Lamp::Grey);
        m_view.setLamp(LampId::Program, Lamp::Grey);
        break;
    case UpdateStep::Request:
    case UpdateStep::Greeting:
    case UpdateStep::RamLoader:
    case UpdateStep::FirmwarePass:
    case UpdateStep::Reset:
    case UpdateStep::Done:
        break;
    }
}

void UpdateController::routeBegins()
{
    for (ControlId id : {ControlId::FileMenu, ControlId::PortMenu, ControlId::BrowseButton,
                         ControlId::ProcessorMain, ControlId::ProcessorBarCode})
        m_view.setControlEnabled(id, false);
}

void UpdateController::connected()
{
    m_view.setLamp(LampId::Communication, Lamp::Green);
}

void UpdateController::erased()
{
    m_view.setLamp(LampId::FlashErase, Lamp::Green);
}

void UpdateController::progress(const TransferProgress &p)
{
    if (p.blocksSent > 0) {
        if (p.pass == Pass::Bootloader)
            m_view.setLamp(LampId::RamLoader, Lamp::Green);
        else
            m_view.setUpdatingNoteVisible(true);
        // The lamp blinks with every block, green first.
        m_view.setLamp(LampId::Working, p.blocksSent % 2 != 0 ? Lamp::Green : Lamp::Red);
    }
    m_view.setProgress(p.blocksSent, p.blocksTotal);
}

void UpdateController::passDone(Pass pass)
{
    m_view.setProgress(0, 0);
    if (pass == Pass::Firmware) {
        m_view.setLamp(LampId::Working, Lamp::Green);
        m_view.setUpdatingNoteVisible(false);
    }
    m_view.setLamp(LampId::Program, Lamp::Green);
}

bool UpdateAnswers::powerCycle()
{
    return m_dialogs.powerCycle(text(messages::kPowerCycle), text(messages::kPowerCycleTitle));
}

QString UpdateController::answerText(const std::optional<QString> &name)
{
    return name ? text(messages::kAnswersAfterUpdate).arg(*name) : text(messages::kNoAnswerAfterUpdate);
}

void UpdateController::answeredAfterUpdate(const std::optional<QString> &name)
{
    m_answered = name;
}

void UpdateController::ended(Outcome end, UpdatePhase phase, const std::optional<UpdateFailure> &)
{
    QString failure;
    switch (end) {
    case Outcome::EndCompleted: {
        m_view.setBusy(false);
        QString complete = text(messages::kComplete);
        if (m_inputs.twoProcessors() && !m_inputs.barCode())
            complete += QLatin1String(messages::kCompleteUpdateBarCode);
        if (m_answered && answerInCompletion)
            complete += QStringLiteral("\n\n") + answerText(*m_answered);
        m_dialogs.message(complete, QString(), MessageIcon::None);
        return;
    }
    case Outcome::EndTimedOut: {
        m_view.setBusy(false);
        const QString advice = timedOutAdvice ? timedOutAdvice() : QString();
        m_dialogs.message(text(messages::kTimedOut) +
                              (advice.isEmpty() ? QString() : QLatin1Char(' ') + advice),
                          text(messages::kTimeoutFailureTitle), MessageIcon::Exclamation);
        m_view.setControlEnabled(ControlId::ProgramButton, true);
        m_view.setControlEnabled(ControlId::ExitButton, true);
        return;
    }
    case Outcome::EndStalled:
        failure = failureText(messages::kStalledReason, messages::kStalled, phase);
        break;
    case Outcome::EndConnectionLost:
        failure = failureText(messages::kConnectionLostReason, messages::kConnectionLost, phase);
        break;
    case Outcome::EndNoBlocks:
        failure = text(messages::kNoBlocks);
        break;
    case Outcome::EndWrongModel:
        m_view.setBusy(false);
        m_dialogs.message(text(messages::kWrongModelAfterUpdate)
                              .arg(m_answered && *m_answered ? **m_answered : QString(), m_inputs.model()),
                          QString::fromLatin1(kFirmwareCheckTitle), MessageIcon::Exclamation);
        return;
    case Outcome::EndCancelled:
    case Outcome::EndClosed: // the user ended the program: nothing more to say
    case Outcome::Ok:
    case Outcome::Missed:
    case Outcome::Stopped:
        return;
    }
    if (const QString advice =
            lineFailureAdvice && end != Outcome::EndNoBlocks ? lineFailureAdvice() : QString();
        !advice.isEmpty())
        failure += QLatin1Char(' ') + advice;
    m_view.setBusy(false);
    // A scanner left without firmware is worth the louder icon.
    m_dialogs.message(failure, text(messages::kCommunicationsFailureTitle),
                      phase == UpdatePhase::Unchanged ? MessageIcon::Exclamation : MessageIcon::Critical);
}

} // namespace romwright
