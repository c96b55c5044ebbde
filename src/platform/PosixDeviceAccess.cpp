#include "platform/DeviceAccess.h"

#include <QFileInfo>

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

} // namespace romwright
