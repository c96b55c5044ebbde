// Windows grants a COM port to whoever opens it first: there are no device
// permissions to advise on, only a port another program holds.
#include "platform/DeviceAccess.h"

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

} // namespace romwright
