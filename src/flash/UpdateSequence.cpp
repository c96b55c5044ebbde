#include "flash/UpdateSequence.h"

#include "flash/BlockRecords.h"
#include "image/FlashLayout.h"
#include "platform/Clock.h"

#include <algorithm>

namespace romwright {

namespace {

// A firmware pass along this table would send no record of an image that
// holds data: the scanner would be erased and left empty.
bool noBlockToSend(std::span<const FlashBlock> table, const MemoryImage &image)
{
    const bool holdsData =
        std::any_of(image.begin(), image.end(), [](std::uint8_t b) { return b != kErased; });
    return holdsData && hexRecordLoad(table, image).blocks == 0;
}

// A byte as it reads: printable ASCII itself, anything else in hex.
QString shown(const QByteArray &bytes)
{
    QString out;
    for (const char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\')
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'));
    }
    return out;
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

QString describeFailure(Outcome outcome, const UpdateFailure &failure)
{
    QString where = QStringLiteral("step ") + QLatin1String(stepName(failure.step));
    if (failure.block >= 0)
        where += QStringLiteral(", block %1 at 0x%2")
                     .arg(failure.block)
                     .arg(QString::number(failure.address, 16).toUpper().rightJustified(4, QLatin1Char('0')));
    if (failure.awaited) {
        where += QStringLiteral(": waited for \"%1\", got ").arg(shown(QByteArray(1, *failure.awaited)));
        where += failure.arrived.isEmpty() ? QStringLiteral("nothing")
                                           : QLatin1Char('"') + shown(failure.arrived) + QLatin1Char('"');
    }
    if (!failure.portError.isEmpty())
        where += QStringLiteral(": ") + failure.portError;
    return QLatin1String(describe(outcome)) + QStringLiteral(" (") + where + QLatin1Char(')');
}

UpdateSequence::UpdateSequence(BootloaderLink &link, UpdateDecisions &decisions, TargetState &target)
    : m_link(link), m_decisions(decisions), m_target(target), m_transfer(link, m_listeners)
{
}

Outcome UpdateSequence::cmdProgram_Click(const FirmwareSet &firmware)
{
    if (m_running)
        return Outcome::Stopped;
    m_running = true;
    m_phase = UpdatePhase::Unchanged;
    m_step = UpdateStep::Request;
    m_failure.reset();
    m_link.clearLastEnd();
    m_link.owedGreeting(std::nullopt);
    m_transfer.clearFailedBlock();
    Outcome outcome = click(firmware);
    if (outcome == Outcome::EndCompleted && m_decisions.asksIdentity()) {
        // The flash is written and acknowledged whatever the answer; the
        // firmware restarts at its own rate: the bootloader's port is done.
        m_phase = UpdatePhase::Completed;
        m_link.closePort();
        const std::optional<QString> answered = identityAfterUpdate();
        m_listeners.answeredAfterUpdate(answered);
        if (answered && !m_decisions.answersAsProgrammed(*answered))
            outcome = Outcome::EndWrongModel;
    }
    if (outcome == Outcome::EndCompleted || outcome == Outcome::EndWrongModel) {
        m_phase = UpdatePhase::Completed;
        enter(UpdateStep::Done);
    }
    // Known before the listeners hear the end: what is written of the update
    // is written before any message waits for the user.
    if (endsProgram(outcome))
        setFailure(outcome);
    m_listeners.finished(outcome);
    if (endsProgram(outcome))
        announceEnd(outcome);
    m_running = false;
    return outcome;
}

Outcome UpdateSequence::IdentifyTarget(bool barCodeProcessor, GreetingCounts counts)
{
    if (m_link.port().portOpen())
        m_listeners.beforeRestart();
    return m_link.IdentifyTarget(m_target, barCodeProcessor, counts);
}

std::optional<QString> UpdateSequence::identityAfterUpdate()
{
    Clock &clock = m_link.clock();
    const FlashTimings &t = m_link.timings();
    const Clock::ms deadline = clock.now() + t.answerBound;
    // Each question waits for its answer; between two the event loop runs
    // (a signal ends the wait) while the firmware comes up.
    // An answer that is not the model written may come while the firmware
    // starts: it stands only if nothing better comes before the bound.
    std::optional<QString> other;
    while (!clock.waitsEnded()) {
        if (std::optional<QString> name = m_decisions.askIdentity()) {
            if (m_decisions.answersAsProgrammed(*name))
                return name;
            other = name;
        }
        if (clock.now() >= deadline)
            break;
        const Clock::ms next = std::min(clock.now() + t.askAgain, deadline);
        while (clock.now() < next && !clock.waitsEnded())
            clock.sleep(next);
    }
    return other;
}

void UpdateSequence::setFailure(Outcome end)
{
    if (end == Outcome::EndCompleted)
        m_failure.reset();
    else
        m_failure = failureHere();
}

void UpdateSequence::announceEnd(Outcome end)
{
    if (!m_running) // start-up's identification; an update has set it
        setFailure(end);
    m_listeners.ended(end, m_phase, m_failure);
    m_link.closePort();
}

UpdateFailure UpdateSequence::failureHere() const
{
    const BootloaderLink::LastEnd &last = m_link.lastEnd();
    UpdateFailure failure;
    failure.step = m_step;
    failure.awaited = last.awaited;
    failure.arrived = last.arrived;
    failure.portError = last.portError;
    failure.block = m_transfer.failedBlock();
    failure.address = m_transfer.failedAddress();
    return failure;
}

// What tells the bootloaders' firmware passes apart, one row each; the pass
// itself (z, E, the blocks, R) is the same for both.
struct BootloaderPass {
    char greeting; // its greeting: the letter the update's record names
    // The line is emptied and set to this before the pass; nullptr: it stays
    // as the greeting left it.
    const char *settings;
    std::span<const FlashBlock> (*table)(const FirmwareSet &);
    // Each answer is awaited with the buffer emptied of anything older:
    // before its command goes out, so that a quick answer cannot be thrown
    // away with the old bytes, and after every read that is not the answer.
    bool flushed;
    // The pause after "z" before its answer is awaited; nullptr: none.
    FlashTimings::ms FlashTimings::*afterBegin;
};

constexpr BootloaderPass kPass64{
    letter::kGreeting64, kSettings38400,
    [](const FirmwareSet &f) { return std::span<const FlashBlock>(f.FlashBlocks64); }, false,
    &FlashTimings::afterLowerZ};
constexpr BootloaderPass kPass128{
    letter::kGreeting128, nullptr,
    [](const FirmwareSet &f) { return std::span<const FlashBlock>(f.FlashBlocks128); }, true, nullptr};

// The routes, one row per boot software that can greet.
struct Route {
    char greeting;
    const char *settings; // the rate the greeting comes at
    // The old boot software: the new one is written first (the RAM loader,
    // the erase, its blocks), then the scanner is power cycled and greets
    // the new boot software's firmware pass.
    bool newBootSoftwareFirst;
    const BootloaderPass &pass; // the firmware pass the route ends with
};

constexpr Route kRouteZ{letter::kGreetingOld, kSettings19200, true, kPass64};
constexpr Route kRouteQ{letter::kGreeting64, kSettings38400, false, kPass64};
constexpr Route kRouteA{letter::kGreeting128, kSettings38400, false, kPass128};
static_assert(kRouteZ.pass.settings != nullptr,
              "after the power cycle the line is set for the new boot software");

void UpdateSequence::enter(UpdateStep step)
{
    m_step = step;
    m_listeners.step(step);
}

Outcome UpdateSequence::click(const FirmwareSet &firmware)
{
    m_listeners.started();

    if (!m_decisions.fileChosen() || !firmware.FilesValid)
        return stop(UpdateStop::NoFile);
    // Without a port nothing is asked of any scanner, not even about the
    // file, and no update has begun.
    if (!m_link.port().portOpen())
        return stop(UpdateStop::PortNotOpen);
    if (!m_decisions.firmwareFits())
        return stop(UpdateStop::FileRefused);

    enter(UpdateStep::Request);
    m_listeners.beforeRestart();
    if (!m_link.RequestBootloader(m_processor == Processor::BarCode))
        return stop(UpdateStop::PortNotOpen);

    const FlashTimings &t = m_link.timings();
    m_link.pause(t.afterRequest);
    m_link.setSettings(kRouteZ.settings);
    m_link.armWaitForZ();
    if (m_link.WaitForLetterZ(kRouteZ.greeting)) {
        enter(UpdateStep::Greeting);
        m_listeners.routeBegins();
        m_listeners.connected();
        return takeRoute(firmware, kRouteZ);
    }
    if (m_link.ending())
        return Outcome::EndClosed;

    m_link.setSettings(kRouteQ.settings); // Q and A greet at the same rate
    m_link.pause(t.afterBaudReturn);
    m_link.RequestBootloader(m_processor == Processor::BarCode);
    m_link.pause(t.afterRetryRequest);
    m_link.restartWaitForQ(t.updateGreeting);
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
        m_listeners.retrying();
        m_link.RequestBootloader(m_processor == Processor::BarCode);
        m_link.pause(t.afterRetryRequest);
        m_link.restartWaitForQ(t.updateGreeting);
        outcome = wait();
        // A second miss of the same wait always has an even count and has
        // already ended the program inside the wait. A greeting now may
        // answer the first request, the repeated one's still to come.
        if (outcome == Outcome::Ok)
            m_link.owedGreeting(firstLetter(a ? m_target.sLetterA : m_target.sLetterQ));
    }
    if (endsProgram(outcome))
        return outcome;
    enter(UpdateStep::Greeting);

    // A file chosen while the menus were open must have loaded completely;
    // nothing has been sent yet, so the user may load another and try again.
    if (!firmware.FilesValid)
        return stop(UpdateStop::NoFileAtGreeting);
    if (!m_decisions.firmwareFits())
        return stop(UpdateStop::FileRefusedAtGreeting);
    m_listeners.routeBegins();
    return takeRoute(firmware, a ? kRouteA : kRouteQ);
}

Outcome UpdateSequence::stop(UpdateStop why)
{
    m_listeners.stopped(why);
    return Outcome::Stopped;
}

Outcome UpdateSequence::InstallBootloader(const FirmwareSet &firmware)
{
    const FlashTimings &t = m_link.timings();
    enter(UpdateStep::RamLoader);
    m_listeners.beforeChange(letter::kGreetingOld);
    Outcome outcome = m_link.SendByte(letter::kSendRamLoader);
    if (outcome != Outcome::Ok)
        return outcome;
    m_phase = UpdatePhase::ReplacingBoot;
    m_link.pause(t.afterG);
    if ((outcome = m_link.WaitForByte(letter::kReady, t.ackBound)) != Outcome::Ok)
        return outcome;

    if ((outcome = m_link.send(ramLoaderBytes(firmware.RamLoaderImage))) != Outcome::Ok)
        return outcome;
    if ((outcome = m_link.WaitForByte(letter::kReady, t.ackBound)) != Outcome::Ok)
        return outcome;
    enter(UpdateStep::BootSoftware);

    if ((outcome = m_link.SendByte(letter::kErase)) != Outcome::Ok)
        return outcome;
    if ((outcome = m_link.WaitForByte(letter::kReady, t.eraseBound)) != Outcome::Ok)
        return outcome;
    m_listeners.erased();

    return m_transfer.walk(Pass::Bootloader, firmware.BootloaderBlocks, firmware.BootloaderImage);
}

Outcome UpdateSequence::takeRoute(const FirmwareSet &firmware, const Route &route)
{
    if (route.newBootSoftwareFirst) {
        // Checked before the RAM loader erases anything.
        if (noBlockToSend(route.pass.table(firmware), firmware.FirmwareImage))
            return Outcome::EndNoBlocks;
        Outcome outcome = InstallBootloader(firmware);
        if (endsProgram(outcome))
            return outcome;
        m_phase = UpdatePhase::NewBoot;
        enter(UpdateStep::PowerCycle);
        m_link.setSettings(route.pass.settings);
        if (!m_decisions.powerCycle())
            return Outcome::EndCancelled;
        m_link.pause(m_link.timings().afterPowerCycle);
    }
    return programFirmware(firmware, route.pass);
}

Outcome UpdateSequence::programFirmware(const FirmwareSet &firmware, const BootloaderPass &pass)
{
    const FlashTimings &t = m_link.timings();
    const std::span<const FlashBlock> table = pass.table(firmware);
    if (noBlockToSend(table, firmware.FirmwareImage))
        return Outcome::EndNoBlocks;
    if (pass.settings) {
        m_link.clearInput();
        m_link.setSettings(pass.settings);
    }
    enter(UpdateStep::Erase);
    auto answer = [&](char awaited, Clock::ms bound) {
        return pass.flushed ? m_link.WaitForByteFlushed(awaited, bound) : m_link.WaitForByte(awaited, bound);
    };

    if (pass.flushed)
        m_link.clearInput();
    m_listeners.beforeChange(pass.greeting);
    Outcome outcome = m_link.SendByte(letter::kBeginPass);
    if (outcome != Outcome::Ok)
        return outcome;
    if (pass.afterBegin)
        m_link.pause(t.*pass.afterBegin);
    if ((outcome = answer(letter::kPassBegun, t.ackBound)) != Outcome::Ok)
        return outcome;
    m_listeners.connected();

    if (pass.flushed)
        m_link.clearInput();
    if ((outcome = m_link.SendByte(letter::kErase)) != Outcome::Ok)
        return outcome;
    m_phase = UpdatePhase::NoFirmware;
    if ((outcome = answer(letter::kErased, t.eraseBound)) != Outcome::Ok)
        return outcome;
    m_listeners.erased();

    enter(UpdateStep::FirmwarePass);
    outcome = m_transfer.walk(Pass::Firmware, table, firmware.FirmwareImage);
    if (outcome != Outcome::Ok)
        return outcome;

    enter(UpdateStep::Reset);
    if ((outcome = m_link.SendByte(letter::kRestart)) != Outcome::Ok)
        return outcome;
    m_listeners.firmwareWritten();
    m_link.pause(t.afterFinalR);
    return Outcome::EndCompleted;
}

} // namespace romwright
