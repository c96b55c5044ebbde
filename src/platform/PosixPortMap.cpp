// The port map of a POSIX system: ROMWRIGHT_PORTS when it is set, the
// system's serial ports otherwise.
#include "platform/PortMap.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace romwright {

PortMap PortMap::fromEnvironment()
{
    if (qEnvironmentVariableIsSet(kPortsVariable))
        return fromList(qEnvironmentVariable(kPortsVariable));
    QStringList devices;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        devices << info.systemLocation();
    return fromSystemPorts(devices);
}

PortDetails portDetails(const QString &device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    PortDetails details;
    if (target.isEmpty())
        return details;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        if (QFileInfo(info.systemLocation()).canonicalFilePath() != target)
            continue;
        auto hex = [](quint16 id) { return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')); };
        if (info.hasVendorIdentifier())
            details.vendorId = hex(info.vendorIdentifier());
        if (info.hasProductIdentifier())
            details.productId = hex(info.productIdentifier());
        details.serialNumber = info.serialNumber();
        details.description = info.description();
        break;
    }
    return details;
}

} // namespace romwright
