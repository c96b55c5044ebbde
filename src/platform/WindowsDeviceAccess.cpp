// Windows grants a COM port to whoever opens it first: there are no device
// permissions to advise on, only a port another program holds.
#include "platform/DeviceAccess.h"

namespace romwright {

DeviceAccess deviceAccess(const QString &device)
{
    DeviceAccess access;
    access.device = device;
    access.exists = !device.isEmpty();
    access.userMayReadWrite = true;
    return access;
}

} // namespace romwright
