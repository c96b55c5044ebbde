#pragma once
// A scripted program on the other end of romwright-sim: the serial port layer
// opened as the program opens it, with waits that sleep in the event loop
// until bytes come or the bound runs out.

#include "platform/QtSerialPort.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <memory>

namespace romwright::test {

class SimClient {
public:
    // Opens the device at link as port 1 with the bootloader dialogue's
    // configuration, at the given settings.
    explicit SimClient(const QString &link, const QString &settings = QStringLiteral("38400,n,8,1"));

    bool isOpen() const { return m_port->portOpen(); }
    CommError openError() const { return m_openError; }
    QtSerialPort &port() { return *m_port; }

    CommError send(const QByteArray &bytes) { return m_port->output(bytes); }
    CommError setRate(int baud);
    // Collects bytes until count have come or the bound runs out; returns
    // what came (more than count when they arrived together).
    QByteArray receive(int count, std::chrono::milliseconds bound = std::chrono::milliseconds(2000));
    // Everything that comes within the window.
    QByteArray receiveFor(std::chrono::milliseconds window);
    // Sends and waits for the answer of count bytes.
    QByteArray ask(const QByteArray &bytes, int count,
                   std::chrono::milliseconds bound = std::chrono::milliseconds(2000));
    // Waits for the line to go down.
    bool waitForLineLost(std::chrono::milliseconds bound);

private:
    std::unique_ptr<QtSerialPort> m_port;
    CommError m_openError = CommError::None;
    bool m_lost = false;
};

// The OpenPort sequence of the bootloader dialogue on an existing port.
CommError openLikeTheProgram(SerialPort &port, int number, const QString &settings);

} // namespace romwright::test
