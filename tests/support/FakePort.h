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

    CommError setCommPort(int port) override
    {
        if (m_open || port < 1 || port > 16)
            return CommError::ValueRefused;
        m_port = port;
        return CommError::None;
    }
    int commPort() const override { return m_port; }
    QString deviceName() const override { return QStringLiteral("fake%1").arg(m_port); }
    CommError setSettings(const QString &settings) override
    {
        if (const FakeDevice *d = device(); d && d->refusedSettings.contains(settings))
            return CommError::ValueRefused;
        m_settings = settings;
        return CommError::None;
    }
    QString settings() const override { return m_settings; }
    CommError setDtrEnable(bool) override { return CommError::None; }
    CommError setRtsEnable(bool) override { return CommError::None; }
    CommError setEofEnable(bool) override { return CommError::None; }
    CommError setHandshaking(int) override { return CommError::None; }
    CommError setInBufferSize(int) override { return CommError::None; }
    CommError setOutBufferSize(int) override { return CommError::None; }
    CommError setBinaryInput(bool) override { return CommError::None; }
    CommError setNullDiscard(bool) override { return CommError::None; }
    CommError setSThreshold(int) override { return CommError::None; }
    CommError setInputLen(int) override { return CommError::None; }

    CommError setPortOpen(bool open) override
    {
        if (!open) {
            if (m_open)
                root().log << QStringLiteral("close %1").arg(m_port);
            m_open = false;
            m_in.clear();
            return CommError::None;
        }
        FakePort &r = root();
        if (m_open)
            return CommError::None;
        ++r.openAttempts[m_port];
        CommError result = r.openError;
        if (FakeDevice *d = device(); !r.devices.empty()) {
            if (!d)
                return CommError::NoSuchPort;
            result = d->openResults.empty() ? d->openError : d->openResults.front();
            if (!d->openResults.empty())
                d->openResults.pop_front();
        }
        m_open = result == CommError::None;
        if (m_open)
            r.log << QStringLiteral("open %1").arg(m_port);
        if (m_open && r.onOpen)
            r.onOpen(*this);
        return result;
    }
    bool portOpen() const override { return m_open; }

    CommError output(const QByteArray &bytes) override
    {
        if (!m_open)
            return CommError::PortNotOpen;
        const FakeDevice *d = device();
        FakePort &r = root();
        const CommError error = d ? d->writeError : r.writeError ? r.writeError(bytes) : CommError::None;
        if (error != CommError::None)
            return error;
        r.writes.push_back(bytes);
        r.writeTimes.push_back(m_clock ? m_clock->now() : Clock::ms(0));
        r.log << QStringLiteral("write %1 %2 %3")
                     .arg(QString::number(m_port), m_settings.section(QLatin1Char(','), 0, 0),
                          QString::fromLatin1(bytes));
        const QByteArray answer = d ? (d->reply ? d->reply(bytes, m_settings) : QByteArray())
                                    : (r.responder ? r.responder(bytes) : QByteArray());
        if (!answer.isEmpty() && m_clock && r.latency.count() > 0)
            arriveAt(m_clock->now() + r.latency, answer);
        else
            m_in += answer; // waiting when output() returns
        return CommError::None;
    }
    int inBufferCount() const override { return static_cast<int>(m_in.size()); }
    QByteArray input() override { return std::exchange(m_in, {}); }
    CommError clearInput() override
    {
        root().log << QStringLiteral("clear in");
        m_in.clear();
        return m_open ? CommError::None : CommError::PortNotOpen;
    }
    CommError clearOutput() override
    {
        root().log << QStringLiteral("clear out");
        return m_open ? CommError::None : CommError::PortNotOpen;
    }

private:
    FakePort &root() { return m_root ? *m_root : *this; }
    FakeDevice *device()
    {
        const auto it = root().devices.find(m_port);
        return it == root().devices.end() ? nullptr : &it->second;
    }

    ManualClock *m_clock;
    FakePort *m_root = nullptr;
    int m_port = 1;
    QString m_settings = QStringLiteral("9600,n,8,1");
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
