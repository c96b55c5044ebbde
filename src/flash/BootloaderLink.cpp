#include "flash/BootloaderLink.h"

#include "platform/PortMap.h"

#include <utility>

namespace romwright {

std::optional<std::uint8_t> firstLetter(const QString &letter)
{
    if (letter.isEmpty())
        return std::nullopt;
    return static_cast<std::uint8_t>(letter.at(0).toLatin1());
}

BootloaderLink::BootloaderLink(SerialPort &MSComm1, Clock &clock, const FlashTimings &timings,
                               QObject *parent)
    : QObject(parent), m_port(MSComm1), m_clock(clock), m_timings(timings), m_timers(clock, timings)
{
    connect(&m_port, &SerialPort::lineLost, this, [this] {
        m_lineLost = true;
        m_clock.wake();
    });
    // A byte may end a wait; outside the link's waits it only makes whoever
    // sleeps on the clock look again. Made once here rather than for every
    // wait: the firmware pass waits once per record, and the time from the
    // acknowledgement to the next record is all it spends besides the bytes.
    connect(&m_port, &SerialPort::received, this, [this] { m_clock.wake(); });
}

void BootloaderLink::pause(std::chrono::milliseconds duration)
{
    m_clock.pause(duration);
}

void BootloaderLink::setSettings(const char *settings)
{
    m_port.setSettings(QString::fromLatin1(settings));
}

void BootloaderLink::clearInput()
{
    m_port.clearInput();
}

void BootloaderLink::armWaitForZ()
{
    m_timers.armWaitForZ();
}

void BootloaderLink::restartWaitForQ(std::chrono::milliseconds interval)
{
    m_timers.restartWaitForQ(interval);
}

bool BootloaderLink::OpenPort(int nPort)
{
    // The port would keep its previous number if it refused this one, and
    // open that port's device instead; refused before anything changes.
    if (nPort < PortMap::kFirstPort || nPort > PortMap::kLastPort)
        return false;
    // Changing the number of an open port means closing it first.
    if (m_port.portOpen())
        m_port.close();
    // No lines, no handshaking, 38400 baud. The port's buffers grow as
    // needed, its reads are binary and take everything waiting, and it
    // sends no events for bytes sent: the rest of the control's
    // configuration is its own way already.
    PortSettings settings;
    settings.port = nPort;
    settings.line = *LineSettings::parse(QString::fromLatin1(kSettings38400));
    const CommError error = m_port.open(settings);
    // Held by another program, or not the user's to open: the port is not ours.
    // Every other failure is passed over; a bad number shows at the first write.
    if (error == CommError::PortInUse || error == CommError::PermissionDenied)
        return false;
    m_lineLost = false;
    return true;
}

Outcome BootloaderLink::send(const QByteArray &bytes)
{
    if (ending())
        return Outcome::EndClosed;
    if (m_lineLost) {
        m_lastEnd = {};
        return Outcome::EndConnectionLost;
    }
    const CommError error = m_port.output(bytes);
    if (error != CommError::None) {
        m_lastEnd = {std::nullopt, {}, romwright::describe(error)};
        return Outcome::EndConnectionLost;
    }
    return Outcome::Ok;
}

Outcome BootloaderLink::SendByte(std::uint8_t b)
{
    return send(QByteArray(1, static_cast<char>(b)));
}

bool BootloaderLink::RequestBootloader(bool barCodeProcessor)
{
    // What came before the request is stale. It is discarded here and not
    // when the wait begins: the boot software may greet within the pause
    // that follows, and that greeting must not be thrown away.
    m_port.clearInput();
    const CommError error = m_port.output(barCodeProcessor ? letter::kRequestBarCode : letter::kRequestMain);
    m_restartRequested = m_restartRequested || error != CommError::PortNotOpen;
    return error != CommError::PortNotOpen;
}

BootloaderLink::WaitEnd BootloaderLink::waitFor(std::optional<std::uint8_t> b, bool flushed,
                                                Clock::ms deadline, bool tickFirst, bool watchLine)
{
    m_arrived.clear();

    for (;;) {
        if (ending())
            return WaitEnd::Ended;
        if (tickFirst && m_clock.now() >= deadline)
            return WaitEnd::Deadline;
        if (watchLine && m_lineLost)
            return WaitEnd::LineLost;
        // One read, no count first: each look at the device costs a system call.
        QByteArray read = m_port.read();
        // A route's wait (the greeting waits watch no line) drops the owed greeting once.
        if (watchLine && m_owed && !read.isEmpty() && static_cast<std::uint8_t>(read.at(0)) == *m_owed) {
            read.remove(0, 1);
            m_owed.reset();
        }
        if (!read.isEmpty()) {
            if (b && static_cast<std::uint8_t>(read.at(0)) == *b)
                return WaitEnd::Got;
            // Kept for the failure's context; the first bytes say enough.
            constexpr qsizetype kArrivedKept = 32;
            m_arrived += read.left(kArrivedKept - m_arrived.size());
            if (flushed)
                m_port.clearInput();
            continue;
        }
        if (m_clock.now() >= deadline)
            return WaitEnd::Deadline;
        m_clock.sleep(deadline);
    }
}

Outcome BootloaderLink::endWait(std::optional<std::uint8_t> b, Outcome end)
{
    m_lastEnd = {b ? std::optional<char>(static_cast<char>(*b)) : std::nullopt, m_arrived, {}};
    return end;
}

Outcome BootloaderLink::routeWait(std::uint8_t b, bool flushed, std::chrono::milliseconds bound)
{
    switch (waitFor(b, flushed, m_clock.now() + bound, false, true)) {
    case WaitEnd::Got:
        return Outcome::Ok;
    case WaitEnd::LineLost:
        return endWait(b, Outcome::EndConnectionLost);
    case WaitEnd::Ended:
        return endWait(b, Outcome::EndClosed);
    case WaitEnd::Deadline:
        break;
    }
    return endWait(b, Outcome::EndStalled);
}

Outcome BootloaderLink::WaitForByte(std::uint8_t b, std::chrono::milliseconds bound)
{
    return routeWait(b, false, bound);
}

Outcome BootloaderLink::WaitForByteFlushed(std::uint8_t b, std::chrono::milliseconds bound)
{
    return routeWait(b, true, bound);
}

bool BootloaderLink::WaitForLetterZ(std::uint8_t b)
{
    const bool got = waitFor(b, true, m_timers.zTicks(), true, false) == WaitEnd::Got;
    m_greeted = m_greeted || got;
    return got;
}

Outcome BootloaderLink::WaitForLetterQ(std::optional<std::uint8_t> b)
{
    return greetingWait(b, m_timers.nTimeoutsQ);
}

Outcome BootloaderLink::WaitForLetterA(std::optional<std::uint8_t> b)
{
    return greetingWait(b, m_timers.nTimeoutsA);
}

Outcome BootloaderLink::greetingWait(std::optional<std::uint8_t> b, int &count)
{
    switch (waitFor(b, true, m_timers.qTicks(), true, false)) {
    case WaitEnd::Got:
        m_greeted = true;
        return Outcome::Ok;
    case WaitEnd::Ended:
        return endWait(b, Outcome::EndClosed);
    case WaitEnd::Deadline:
    case WaitEnd::LineLost:
        break;
    }
    const Outcome outcome = greetingTimedOut(count);
    return endsProgram(outcome) ? endWait(b, outcome) : outcome;
}

Outcome BootloaderLink::greetingTimedOut(int &count)
{
    ++count;
    return count % 2 != 0 ? Outcome::Missed : Outcome::EndTimedOut;
}

Outcome BootloaderLink::IdentifyTarget(TargetState &state, bool barCodeProcessor, GreetingCounts counts)
{
    int ownQ = 0;
    int ownA = 0;
    const bool shared = counts == GreetingCounts::Shared;
    int &timeoutsQ = shared ? m_timers.nTimeoutsQ : ownQ;
    int &timeoutsA = shared ? m_timers.nTimeoutsA : ownA;
    auto request = [this, barCodeProcessor] {
        m_port.setSettings(QString::fromLatin1(kSettings38400));
        pause(m_timings.identifySettle);
        m_port.clearInput();
        const CommError error =
            m_port.output(barCodeProcessor ? letter::kRequestBarCode : letter::kRequestMain);
        m_restartRequested = m_restartRequested || error != CommError::PortNotOpen;
        pause(m_timings.afterRequest);
    };

    request();
    // Without an open port the first wait fails at once and the
    // identification ends as if the letter had come: bTargetA stays as it is.
    if (!m_port.portOpen())
        return Outcome::Ok;
    m_timers.restartWaitForQ(m_timings.identifyGreeting);
    Outcome outcome = greetingWait(firstLetter(state.sLetterQ), timeoutsQ);
    if (outcome == Outcome::Ok) {
        state.bTargetA = false;
        return Outcome::Ok;
    }
    if (endsProgram(outcome))
        return outcome;

    request();
    m_timers.restartWaitForQ(m_timings.identifyGreeting);
    outcome = greetingWait(firstLetter(state.sLetterA), timeoutsA);
    if (outcome == Outcome::Ok)
        state.bTargetA = true;
    return endsProgram(outcome) ? outcome : Outcome::Ok;
}

void BootloaderLink::closePort()
{
    if (m_port.portOpen())
        m_port.setPortOpen(false);
}

} // namespace romwright
