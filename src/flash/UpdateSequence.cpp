#include "flash/UpdateSequence.h"

#include "flash/BlockRecords.h"
#include "flash/FlashMessages.h"
#include "image/FlashLayout.h"
#include "platform/Dialogs.h"
#include "view/MainView.h"

#include <algorithm>

namespace romwright {

namespace {

constexpr std::array kLockedControls{ControlId::BrowseButton, ControlId::ProcessorMain,
                                     ControlId::ProcessorBarCode};

QString text(const char *s)
{
    return QString::fromLatin1(s);
}

// A firmware pass along this table would send no record of an image that
// holds data: the scanner would be erased and left empty.
bool noBlockToSend(std::span<const FlashBlock> table, const MemoryImage &image)
{
    const bool holdsData =
        std::any_of(image.begin(), image.end(), [](std::uint8_t b) { return b != kErased; });
    return holdsData && hexRecordLoad(table, image).blocks == 0;
}

QString failureText(const char *reason, const char *unchangedText, UpdatePhase phase)
{
    switch (phase) {
    case UpdatePhase::ReplacingBoot:
        return text(reason) + QLatin1Char(' ') + text(messages::kWayBackReplacingBoot);
    case UpdatePhase::NewBoot:
    case UpdatePhase::NoFirmware:
        return text(reason) + QLatin1Char(' ') + text(messages::kWayBackNoFirmware);
    case UpdatePhase::Unchanged:
    case UpdatePhase::Completed:
        break;
    }
    return text(unchangedText);
}

} // namespace

const char *stepName(UpdateStep step)
{
    switch (step) {
    case UpdateStep::Request:
        return "request";
    case UpdateStep::Greeting:
        return "greeting";
    case UpdateStep::RamLoader:
        return "ram-loader";
    case UpdateStep::BootSoftware:
        return "boot-software";
    case UpdateStep::PowerCycle:
        return "power-cycle";
    case UpdateStep::Erase:
        return "erase";
    case UpdateStep::FirmwarePass:
        return "firmware";
    case UpdateStep::Reset:
        return "reset";
    case UpdateStep::Done:
        return "done";
    }
    return "";
}

const char *interruptionText(UpdatePhase phase)
{
    switch (phase) {
    case UpdatePhase::ReplacingBoot:
        return messages::kInterruptedReplacingBoot;
    case UpdatePhase::NewBoot:
        return messages::kInterruptedNewBoot;
    case UpdatePhase::NoFirmware:
        return messages::kInterruptedNoFirmware;
    case UpdatePhase::Unchanged:
    case UpdatePhase::Completed:
        break;
    }
    return messages::kInterruptedUnchanged;
}

UpdateSequence::UpdateSequence(BootloaderLink &link, MainView &view, Dialogs &dialogs, ProgramFlags &flags,
                               TargetState &target)
    : m_link(link), m_view(view), m_dialogs(dialogs), m_flags(flags), m_target(target), m_transfer(link, view)
{
}

Outcome UpdateSequence::cmdProgram_Click(const FirmwareSet &firmware)
{
    if (m_running)
        return Outcome::Stopped;
    m_running = true;
    m_phase = UpdatePhase::Unchanged;
    const Outcome outcome = click(firmware);
    if (ended)
        ended(outcome);
    if (outcome == Outcome::EndCompleted)
        m_phase = UpdatePhase::Completed;
    if (endsProgram(outcome))
        announceEnd(outcome);
    m_running = false;
    return outcome;
}

void UpdateSequence::announceEnd(Outcome end)
{
    QString failure;
    switch (end) {
    case Outcome::EndCompleted: {
        m_view.setBusy(false);
        QString complete = QString::fromLatin1(messages::kComplete);
        if (m_flags.bWexmoor && !m_flags.bBarCodeProcessor)
            complete += QLatin1String(messages::kCompleteUpdateBarCode);
        m_dialogs.message(complete, QString(), MessageIcon::None);
        break;
    }
    case Outcome::EndTimedOut:
        m_view.setBusy(false);
        m_dialogs.message(QString::fromLatin1(messages::kTimedOut),
                          QString::fromLatin1(messages::kTimeoutFailureTitle), MessageIcon::Information);
        m_view.setControlEnabled(ControlId::ProgramButton, true);
        m_view.setControlEnabled(ControlId::ExitButton, true);
        break;
    case Outcome::EndStalled:
        failure = failureText(messages::kStalledReason, messages::kStalled, m_phase);
        break;
    case Outcome::EndConnectionLost:
        failure = failureText(messages::kConnectionLostReason, messages::kConnectionLost, m_phase);
        break;
    case Outcome::EndNoBlocks:
        failure = text(messages::kNoBlocks);
        break;
    case Outcome::EndCancelled:
    case Outcome::EndClosed: // the user ended the program: nothing more to say
    case Outcome::Ok:
    case Outcome::Missed:
    case Outcome::Stopped:
        break;
    }
    if (!failure.isEmpty()) {
        m_view.setBusy(false);
        // A scanner left without firmware is worth the louder icon.
        m_dialogs.message(failure, text(messages::kCommunicationsFailureTitle),
                          m_phase == UpdatePhase::Unchanged ? MessageIcon::Information
                                                            : MessageIcon::Exclamation);
    }
    m_link.closePort();
}

Outcome UpdateSequence::click(const FirmwareSet &firmware)
{
    m_view.setBusy(true);
    for (ControlId id : {ControlId::FileMenu, ControlId::PortMenu, ControlId::HelpMenu, ControlId::ExitButton,
                         ControlId::ProgramButton})
        m_view.setControlEnabled(id, false);
    // The file and the processor stay put while the update runs.
    for (std::size_t i = 0; i < kLockedControls.size(); ++i) {
        m_lockedBefore[i] = m_view.isControlEnabled(kLockedControls[i]);
        m_view.setControlEnabled(kLockedControls[i], false);
    }
    m_view.setLamp(LampId::Communication, Lamp::Grey);
    m_view.setLamp(LampId::Program, Lamp::Grey);
    m_flags.bProgramming = true;

    if (m_view.text(LabelId::FirmFile).contains(QLatin1String("None")) || !firmware.FilesValid) {
        m_dialogs.message(text(messages::kSelectFirmware), QString(), MessageIcon::None);
        return stop(false);
    }
    if (firmwareCheck && !firmwareCheck()) {
        m_view.setControlEnabled(ControlId::ProgramButton, true); // the user may click again
        return stop(false);
    }

    if (!m_link.RequestBootloader(m_flags.bBarCodeProcessor)) {
        m_dialogs.message(text(messages::kPortFailure), text(messages::kCommunicationsFailureTitle),
                          MessageIcon::Information);
        m_view.setControlEnabled(ControlId::PortMenu, true);
        m_view.setControlEnabled(ControlId::ProgramButton, true);
        return stop(true);
    }

    const FlashTimings &t = m_link.timings();
    m_link.pause(t.afterRequest);
    m_link.port().setSettings(text(kSettings19200));
    m_link.timers().armWaitForZ();
    if (m_link.WaitForLetterZ('Z')) {
        lockForRoute();
        m_view.setLamp(LampId::Communication, Lamp::Green);
        // Checked before the RAM loader erases anything.
        if (noBlockToSend(firmware.FlashBlocks64, firmware.FirmwareImage))
            return Outcome::EndNoBlocks;
        Outcome outcome = InstallBootloader(firmware);
        if (endsProgram(outcome))
            return outcome;
        m_phase = UpdatePhase::NewBoot;
        // The firmware pass has not begun: its lamps wait for it.
        for (LampId id : {LampId::FlashErase, LampId::Working, LampId::Program})
            m_view.setLamp(id, Lamp::Grey);
        m_link.port().setSettings(text(kSettings38400));
        const bool confirmed =
            powerCyclePrompt ? powerCyclePrompt(text(messages::kPowerCycle), text(messages::kPowerCycleTitle))
                             : (m_dialogs.message(text(messages::kPowerCycle),
                                                  text(messages::kPowerCycleTitle), MessageIcon::None),
                                true);
        if (!confirmed)
            return Outcome::EndCancelled;
        m_link.pause(t.afterPowerCycle);
        return ProgramFirmware64(firmware);
    }
    if (m_link.ending())
        return Outcome::EndClosed;

    m_link.port().setSettings(text(kSettings38400));
    m_link.pause(t.afterBaudReturn);
    m_link.RequestBootloader(m_flags.bBarCodeProcessor);
    m_link.pause(t.afterRetryRequest);
    m_link.timers().restartWaitForQ(t.updateGreeting);
    return awaitGreetingAndProgram(firmware);
}

Outcome UpdateSequence::awaitGreetingAndProgram(const FirmwareSet &firmware)
{
    const FlashTimings &t = m_link.timings();
    const bool a = m_target.bTargetA;
    auto wait = [&] {
        return a ? m_link.WaitForLetterA(firstLetter(m_target.sLetterA))
                 : m_link.WaitForLetterQ(firstLetter(m_target.sLetterQ));
    };

    Outcome outcome = wait();
    if (outcome == Outcome::Missed) {
        // The Port and File menus are usable until the repeated greeting.
        m_view.setControlEnabled(ControlId::PortMenu, true);
        m_view.setControlEnabled(ControlId::FileMenu, true);
        m_link.RequestBootloader(m_flags.bBarCodeProcessor);
        m_link.pause(t.afterRetryRequest);
        m_link.timers().restartWaitForQ(t.updateGreeting);
        outcome = wait();
        // A second miss of the same wait always has an even count and has
        // already ended the program inside the wait.
    }
    if (endsProgram(outcome))
        return outcome;

    // A file chosen while the menus were open must have loaded completely;
    // nothing has been sent yet, so the user may load another and try again.
    if (!firmware.FilesValid) {
        m_dialogs.message(text(messages::kSelectFirmware), QString(), MessageIcon::None);
        m_view.setControlEnabled(ControlId::ProgramButton, false);
        return stop(true);
    }
    if (firmwareCheck && !firmwareCheck()) {
        m_view.setControlEnabled(ControlId::ProgramButton, true);
        return stop(true);
    }
    lockForRoute();
    return a ? ProgramFirmware128(firmware) : ProgramFirmware64(firmware);
}

Outcome UpdateSequence::stop(bool portMenu)
{
    m_view.setControlEnabled(ControlId::FileMenu, true);
    m_view.setControlEnabled(ControlId::HelpMenu, true);
    m_view.setControlEnabled(ControlId::ExitButton, true);
    if (portMenu)
        m_view.setControlEnabled(ControlId::PortMenu, true);
    for (std::size_t i = 0; i < kLockedControls.size(); ++i)
        m_view.setControlEnabled(kLockedControls[i], m_lockedBefore[i]);
    m_view.setBusy(false);
    return Outcome::Stopped;
}

void UpdateSequence::lockForRoute()
{
    for (ControlId id : {ControlId::FileMenu, ControlId::PortMenu, ControlId::BrowseButton,
                         ControlId::ProcessorMain, ControlId::ProcessorBarCode})
        m_view.setControlEnabled(id, false);
}

Outcome UpdateSequence::InstallBootloader(const FirmwareSet &firmware)
{
    const FlashTimings &t = m_link.timings();
    if (beforeChange)
        beforeChange('Z');
    Outcome outcome = m_link.SendByte('G');
    if (outcome != Outcome::Ok)
        return outcome;
    m_phase = UpdatePhase::ReplacingBoot;
    m_link.pause(t.afterG);
    if ((outcome = m_link.WaitForByte('R', t.ackBound)) != Outcome::Ok)
        return outcome;

    if ((outcome = m_link.send(ramLoaderBytes(firmware.RamLoaderImage))) != Outcome::Ok)
        return outcome;
    if ((outcome = m_link.WaitForByte('R', t.ackBound)) != Outcome::Ok)
        return outcome;
    m_view.setLamp(LampId::RamLoader, Lamp::Green);

    if ((outcome = m_link.SendByte('E')) != Outcome::Ok)
        return outcome;
    if ((outcome = m_link.WaitForByte('R', t.eraseBound)) != Outcome::Ok)
        return outcome;
    m_view.setLamp(LampId::FlashErase, Lamp::Green);

    return m_transfer.walk(Pass::Bootloader, firmware.BootloaderBlocks, firmware.BootloaderImage);
}

Outcome UpdateSequence::ProgramFirmware64(const FirmwareSet &firmware)
{
    return programFirmware(firmware, false);
}

Outcome UpdateSequence::ProgramFirmware128(const FirmwareSet &firmware)
{
    return programFirmware(firmware, true);
}

Outcome UpdateSequence::programFirmware(const FirmwareSet &firmware, bool blocks128)
{
    const FlashTimings &t = m_link.timings();
    SerialPort &port = m_link.port();
    const std::span<const FlashBlock> table = blocks128 ? std::span<const FlashBlock>(firmware.FlashBlocks128)
                                                        : std::span<const FlashBlock>(firmware.FlashBlocks64);
    if (noBlockToSend(table, firmware.FirmwareImage))
        return Outcome::EndNoBlocks;
    if (!blocks128) {
        port.clearInput();
        port.setSettings(text(kSettings38400));
    }
    m_view.setLamp(LampId::Communication, Lamp::Grey);
    m_view.setLamp(LampId::Program, Lamp::Grey);

    // The 128-byte bootloader's answers are awaited with the buffer emptied
    // of anything older; that is done before the command goes out, so a
    // quick answer cannot be thrown away with the old bytes.
    if (blocks128)
        port.clearInput();
    if (beforeChange)
        beforeChange(blocks128 ? 'A' : 'Q');
    Outcome outcome = m_link.SendByte('z');
    if (outcome != Outcome::Ok)
        return outcome;
    if (!blocks128)
        m_link.pause(t.afterLowerZ);
    outcome = blocks128 ? m_link.WaitForByteFlushed('C', t.ackBound) : m_link.WaitForByte('C', t.ackBound);
    if (outcome != Outcome::Ok)
        return outcome;
    m_view.setLamp(LampId::Communication, Lamp::Green);

    if (blocks128)
        port.clearInput();
    if ((outcome = m_link.SendByte('E')) != Outcome::Ok)
        return outcome;
    m_phase = UpdatePhase::NoFirmware;
    outcome =
        blocks128 ? m_link.WaitForByteFlushed('e', t.eraseBound) : m_link.WaitForByte('e', t.eraseBound);
    if (outcome != Outcome::Ok)
        return outcome;
    m_view.setLamp(LampId::FlashErase, Lamp::Green);

    outcome = m_transfer.walk(Pass::Firmware, table, firmware.FirmwareImage);
    if (outcome != Outcome::Ok)
        return outcome;

    if ((outcome = m_link.SendByte('R')) != Outcome::Ok)
        return outcome;
    m_link.pause(t.afterFinalR);
    return Outcome::EndCompleted;
}

} // namespace romwright
