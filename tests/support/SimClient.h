#pragma once
// Another program on a serial line: the serial port layer opened at the
// bootloader's 38400 baud, holding the device while it lives.

#include "platform/PosixSerialPort.h"

#include <QByteArray>

namespace romwright::test {

class SimClient {
public:
    // Opens the device at link as port 1 at 38400 baud.
    explicit SimClient(const QString &link);

    bool isOpen() const { return m_port.portOpen(); }
    CommError openError() const { return m_openError; }
    CommError send(const QByteArray &bytes) { return m_port.output(bytes); }

private:
    PosixSerialPort m_port;
    CommError m_openError = CommError::None;
};

} // namespace romwright::test
