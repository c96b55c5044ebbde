#pragma once
// A scripted program on the other end of romwright-sim: the serial port layer
// at the bootloader's 38400 baud, with a wait that sleeps in the event loop
// until bytes come or the bound runs out.

#include "platform/PosixSerialPort.h"

#include <QByteArray>
#include <chrono>

namespace romwright::test {

class SimClient {
public:
    // Opens the device at link as port 1 at 38400 baud.
    explicit SimClient(const QString &link);

    bool isOpen() const { return m_port.portOpen(); }
    CommError openError() const { return m_openError; }
    CommError send(const QByteArray &bytes) { return m_port.output(bytes); }
    // Collects bytes until count have come or the bound runs out.
    QByteArray receive(int count, std::chrono::milliseconds bound = std::chrono::milliseconds(2000));

private:
    PosixSerialPort m_port;
    CommError m_openError = CommError::None;
};

} // namespace romwright::test
