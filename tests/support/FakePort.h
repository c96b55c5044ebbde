#pragma once
// A serial port without a device, for what a device cannot be made to do on
// cue: refuse an open, a setting or a write, lose the line during a wait,
// answer at an exact moment or never. It logs what the program did to it.

#include "platform/ManualClock.h"
#include "platform/SerialPort.h"

#include <QPointer>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <numeric>
#include <utility>
#include <vector>

namespace romwright::test {

// One device behind a port number.
struct FakeDevice {
    std::deque<CommError> openResults; // successive opens; once used up, openError
    CommError openError = CommError::None;
    QStringList refusedSettings;
    CommError writeError = CommError::None;
    // The answer to bytes written at the current settings.
    std::function<QByteArray(const QByteArray &written, const QString &settings)> reply;
};

class FakePort final : public SerialPort {
public:
    explicit FakePort(ManualClock *clock = nullptr) : m_clock(clock) {}

    // The device behind every port number, unless `devices` names some:
    // then only those have one.
    CommError openError = CommError::None;
    std::function<QByteArray(const QByteArray &written)> responder;
    std::function<CommError(const QByteArray &written)> writeError;
    std::map<int, FakeDevice> devices;
    Clock::ms latency{0}; // with a clock, answers arrive this long after the write
    // Each time this port or a sibling opens: a script may then time what arrives on it.
    std::function<void(FakePort &opened)> onOpen;
    std::map<int, int> openAttempts; // by port number

    std::vector<QByteArray> writes;
    std::vector<Clock::ms> writeTimes;
    QStringList log; // "open 3", "close 3", "write 3 19200 V\r\n", "clear in", "clear out"

    QByteArray written() const { return std::accumulate(writes.begin(), writes.end(), QByteArray()); }

    // Bytes from the device: now, or at a time of the clock.
    void arrive(const QByteArray &bytes)
    {
        if (!m_open)
            return;
        m_in += bytes;
        emit received();
    }
    void arriveAt(Clock::ms at, const QByteArray &bytes)
    {
        m_clock->at(at, [port = QPointer<FakePort>(this), bytes] {
            if (port)
                port->arrive(bytes);
        });
    }
    void deliverNow(const QByteArray &bytes) { m_in += bytes; }

    // Siblings share the devices, the script and the log of the port they
    // came from.
    std::unique_ptr<SerialPort> sibling() const override
    {
        auto port = std::make_unique<FakePort>(m_clock);
        port->m_root = &const_cast<FakePort *>(this)->root();
        return port;
    }
    QList<int> presentPorts() const override
    {
        QList<int> ports(kPorts);
        std::iota(ports.begin(), ports.end(), 1);
        return ports;
    }
    QString deviceName(int port) const override { return QStringLiteral("fake%1").arg(port); }

    QByteArray read(std::chrono::milliseconds = {}) override { return std::exchange(m_in, {}); }
    CommError write(const QByteArray &bytes) override
    {
        if (!m_open)
            return CommError::PortNotOpen;
        const FakeDevice *d = device(commPort());
        FakePort &r = root();
        const CommError error = d ? d->writeError : r.writeError ? r.writeError(bytes) : CommError::None;
        if (error != CommError::None)
            return error;
        r.writes.push_back(bytes);
        r.writeTimes.push_back(m_clock ? m_clock->now() : Clock::ms(0));
        r.log << QStringLiteral("write %1 %2 %3")
                     .arg(QString::number(commPort()), QString::number(portSettings().line.baud),
                          QString::fromLatin1(bytes));
        const QByteArray answer = d ? (d->reply ? d->reply(bytes, settings()) : QByteArray())
                                    : (r.responder ? r.responder(bytes) : QByteArray());
        if (!answer.isEmpty() && m_clock && r.latency.count() > 0)
            arriveAt(m_clock->now() + r.latency, answer);
        else
            m_in += answer; // waiting when write() returns
        return CommError::None;
    }
    CommError discard(Discard what) override
    {
        root().log << (what == Discard::Input ? QStringLiteral("clear in") : QStringLiteral("clear out"));
        if (what == Discard::Input)
            m_in.clear();
        return m_open ? CommError::None : CommError::PortNotOpen;
    }
    bool isOpen() const override { return m_open; }
    int bytesWaiting() const override { return static_cast<int>(m_in.size()); }

private:
    static constexpr int kPorts = 16;

    CommError openPort(const PortSettings &settings) override
    {
        const FakeDevice *d = device(settings.port);
        if (d && d->refusedSettings.contains(settings.line.text()))
            return CommError::ValueRefused;
        if (m_open)
            return CommError::None;
        FakePort &r = root();
        if (settings.port > kPorts)
            return CommError::NoSuchPort;
        ++r.openAttempts[settings.port];
        CommError result = r.openError;
        if (FakeDevice *dev = device(settings.port); !r.devices.empty()) {
            if (!dev)
                return CommError::NoSuchPort;
            result = dev->openResults.empty() ? dev->openError : dev->openResults.front();
            if (!dev->openResults.empty())
                dev->openResults.pop_front();
        }
        m_open = result == CommError::None;
        if (m_open)
            r.log << QStringLiteral("open %1").arg(settings.port);
        if (m_open && r.onOpen)
            r.onOpen(*this);
        return result;
    }
    CommError closePort() override
    {
        if (m_open)
            root().log << QStringLiteral("close %1").arg(commPort());
        m_open = false;
        m_in.clear();
        return CommError::None;
    }
    CommError applyLines(bool, bool) override { return CommError::None; }

    FakePort &root() { return m_root ? *m_root : *this; }
    FakeDevice *device(int port)
    {
        const auto it = root().devices.find(port);
        return it == root().devices.end() ? nullptr : &it->second;
    }

    ManualClock *m_clock;
    FakePort *m_root = nullptr;
    bool m_open = false;
    QByteArray m_in;
};

// A scanner that gives `answer` to "V" CR LF at `baud` and nothing otherwise.
inline FakeDevice answersAt(const char *baud, QByteArray answer)
{
    FakeDevice d;
    d.reply = [baud, answer](const QByteArray &written, const QString &settings) {
        return written == "V\r\n" && settings.startsWith(QLatin1String(baud)) ? answer : QByteArray();
    };
    return d;
}

} // namespace romwright::test
