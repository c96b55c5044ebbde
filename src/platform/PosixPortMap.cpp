// The port map of a POSIX system: ROMWRIGHT_PORTS when it is set, the
// system's serial ports otherwise; and the terminals named for this run.
#include "platform/PortMap.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace romwright {

PortMap PortMap::fromEnvironment()
{
    if (qEnvironmentVariableIsSet(kPortsVariable))
        return fromList(qEnvironmentVariable(kPortsVariable)).withRunDevices();
    QStringList devices;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        devices << info.systemLocation();
    return fromSystemPorts(devices).withRunDevices();
}

bool isTerminalDevice(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (path.isEmpty() || ::stat(name.constData(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    // Opened without becoming the controlling terminal and without waiting
    // for a carrier; nothing is written.
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES || errno == EBUSY; // a device this user or another program keeps
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal;
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
