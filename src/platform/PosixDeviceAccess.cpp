#include "platform/DeviceAccess.h"

#include "platform/FileSystem.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace romwright {

DeviceAccess deviceAccess(const QString &device)
{
    DeviceAccess access;
    access.device = device;
    if (device.isEmpty())
        return access;
    const QFileInfo info(device); // a link stands for the device it points to
    access.exists = info.exists();
    if (!access.exists)
        return access;
    access.userMayReadWrite = info.isReadable() && info.isWritable();
    access.group = info.group();
    const QFileDevice::Permissions groupReadWrite = QFileDevice::ReadGroup | QFileDevice::WriteGroup;
    access.groupMayReadWrite = (info.permissions() & groupReadWrite) == groupReadWrite;
    return access;
}

QString notASerialDevice(const QString &device)
{
    const QByteArray path = encodeFileName(device);
    struct stat info {};
    if (device.isEmpty() || ::stat(path.constData(), &info) != 0)
        return QString();
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("a folder");
    if (S_ISREG(info.st_mode))
        return QStringLiteral("a plain file");
    if (!S_ISCHR(info.st_mode))
        return QStringLiteral("not a terminal");
    // A character device may be one; only a terminal carries a serial line.
    const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return QString();
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal ? QString() : QStringLiteral("not a terminal");
}

} // namespace romwright
