// The port map of a POSIX system: ROMWRIGHT_PORTS when it is set, the
// system's serial ports otherwise.
#include "platform/PortMap.h"

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

} // namespace romwright
