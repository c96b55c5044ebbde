#pragma once
// A serial port without a line, for the answers and failures a simulator on a
// pseudo-terminal cannot produce: scripted per port number, with a log of
// everything the program did to it.

#include "support/FakePortBase.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <map>

namespace romwright::test {

struct FakeDevice {
    // Results of successive opens; once used up, every open gives openError.
    std::deque<CommError> openResults;
    CommError openError = CommError::None;
    QStringList refusedSettings;
    CommError writeError = CommError::None;
    // What the device answers to bytes written at the current settings;
    // it lands in the receive buffer at once.
    std::function<QByteArray(const QByteArray &written, const QString &settings)> reply;
};

class FakeSerialPort final : public FakePortBase {
public:
    std::map<int, FakeDevice> devices; // by port number
    QStringList log;                   // "open 3", "close 3", "write 3 19200 V\r\n", "clear in", ...

    CommError setCommPort(int port) override
    {
        if (m_open)
            return CommError::ValueRefused; // the port number is fixed while open
        if (port < 1 || port > 16)
            return CommError::ValueRefused;
        m_port = port;
        return CommError::None;
    }
    int commPort() const override { return m_port; }
    QString deviceName() const override { return QStringLiteral("fake%1").arg(m_port); }

    CommError setSettings(const QString &settings) override
    {
        auto it = devices.find(m_port);
        if (it != devices.end() && it->second.refusedSettings.contains(settings))
            return CommError::ValueRefused;
        m_settings = settings;
        return CommError::None;
    }
    QString settings() const override { return m_settings; }


    CommError setPortOpen(bool open) override
    {
        if (!open) {
            if (m_open)
                log << QStringLiteral("close %1").arg(m_port);
            m_open = false;
            m_in.clear();
            return CommError::None;
        }
        if (m_open)
            return CommError::None;
        auto it = devices.find(m_port);
        if (it == devices.end())
            return CommError::NoSuchPort;
        CommError result = it->second.openError;
        if (!it->second.openResults.empty()) {
            result = it->second.openResults.front();
            it->second.openResults.pop_front();
        }
        if (result == CommError::None) {
            m_open = true;
            log << QStringLiteral("open %1").arg(m_port);
        }
        return result;
    }
    bool portOpen() const override { return m_open; }

    CommError output(const QByteArray &bytes) override
    {
        if (!m_open)
            return CommError::PortNotOpen;
        const FakeDevice &device = devices.at(m_port);
        if (device.writeError != CommError::None)
            return device.writeError;
        log << QStringLiteral("write %1 %2 %3").arg(m_port).arg(m_settings.section(QLatin1Char(','), 0, 0), QString::fromLatin1(bytes));
        if (device.reply)
            m_in += device.reply(bytes, m_settings);
        return CommError::None;
    }

    int inBufferCount() const override { return static_cast<int>(m_in.size()); }
    QByteArray input() override
    {
        QByteArray bytes;
        bytes.swap(m_in);
        return bytes;
    }
    CommError clearInput() override
    {
        log << QStringLiteral("clear in");
        m_in.clear();
        return m_open ? CommError::None : CommError::PortNotOpen;
    }
    CommError clearOutput() override
    {
        log << QStringLiteral("clear out");
        return m_open ? CommError::None : CommError::PortNotOpen;
    }

    // Bytes arriving from the device on their own.
    void arrive(const QByteArray &bytes)
    {
        m_in += bytes;
        emit received();
    }

    QStringList writes() const { return log.filter(QStringLiteral("write ")); }

private:
    int m_port = 1;
    QString m_settings = QStringLiteral("9600,n,8,1");
    bool m_open = false;
    QByteArray m_in;
};

// A scanner that gives `answer` to "V" CR LF at `baud` and nothing otherwise.
inline std::function<QByteArray(const QByteArray &, const QString &)> answersAt(const char *baud, QByteArray answer)
{
    return [baud, answer](const QByteArray &written, const QString &settings) {
        return written == "V\r\n" && settings.startsWith(QLatin1String(baud)) ? answer : QByteArray();
    };
}

} // namespace romwright::test
