#include "platform/PortUsable.h"

#include "platform/DeviceAccess.h"
#include "platform/FileSystem.h"

namespace romwright {

QString portUnusableReason(SerialPort &port, int n)
{
    if (port.portOpen() && port.commPort() == n)
        return QString();
    if (port.portOpen())
        port.setPortOpen(false);
    CommError error = port.setCommPort(n);
    if (error == CommError::None)
        error = port.setPortOpen(true);
    if (error == CommError::None) {
        port.setPortOpen(false);
        return QString();
    }
    return portOpenFailure(port, n, error);
}

QString portOpenFailure(const SerialPort &port, int n, CommError error)
{
    const QString device = displayFileName(port.deviceName());
    const QString named = device.isEmpty() || port.commPort() != n
                              ? QStringLiteral("port %1").arg(n)
                              : QStringLiteral("port %1 (%2)").arg(QString::number(n), device);
    switch (error) {
    case CommError::None:
        return QString();
    case CommError::NoSuchPort:
        return device.isEmpty() || port.commPort() != n
                   ? QStringLiteral("port %1 has no device").arg(n)
                   : named + QStringLiteral(": the device does not exist");
    case CommError::PortInUse:
        return named + QStringLiteral(" is held by another program");
    case CommError::PermissionDenied:
        return named + QStringLiteral(": permission to open it was denied");
    default:
        break;
    }
    if (const QString what = notASerialDevice(port.deviceName()); !what.isEmpty())
        return named + QStringLiteral(" is not a serial port: it is %1").arg(what);
    return named + QStringLiteral(" does not open (%1)").arg(describe(error));
}

} // namespace romwright
