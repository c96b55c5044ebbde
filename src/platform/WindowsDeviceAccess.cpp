// Windows grants a COM port to whoever opens it first: there are no device
// permissions to advise on, only a port another program holds.
#include "platform/DeviceAccess.h"

#include <QFileInfo>

#include <windows.h>

namespace romwright {

DeviceAccess deviceAccess(const QString &device)
{
    DeviceAccess access;
    access.device = device;
    // A port exists while the system names it (COM5 -> \Device\Serial4, or a
    // USB adapter's own device); the name goes when the adapter is unplugged.
    wchar_t target[512];
    access.exists = !device.isEmpty() &&
                    QueryDosDeviceW(reinterpret_cast<const wchar_t *>(device.utf16()), target, 512) != 0;
    access.userMayReadWrite = true;
    return access;
}

// A COM name is a comm device or nothing: opening it runs GetCommState,
// which fails on anything else. A path names a file or a folder.
QString notASerialDevice(const QString &device)
{
    const QFileInfo info(device);
    if (device.isEmpty() || device.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ||
        device.startsWith(QLatin1String("\\\\.\\")) || !info.exists())
        return QString();
    return info.isDir() ? QStringLiteral("a folder") : QStringLiteral("a plain file");
}

} // namespace romwright
