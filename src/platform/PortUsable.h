#pragma once
// Whether a port can carry an update at all, said before anything is sent:
// a port without a device, a device that is gone, held, forbidden, or that
// is no serial device (a folder, a plain file, /dev/null).

#include "platform/SerialPort.h"

#include <QString>

namespace romwright {

// Why port n cannot be used, as the end of a sentence ("port 1
// (/dev/null) is not a serial port: it is not a terminal"); empty when it
// opens. The port is opened and closed again; a port already open on n is
// left open and is usable.
QString portUnusableReason(SerialPort &port, int n);

// The same for an open of port n that has failed with error; empty for
// CommError::None.
QString portOpenFailure(const SerialPort &port, int n, CommError error);

} // namespace romwright
