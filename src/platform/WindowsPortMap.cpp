// The port map of Windows: port n is COMn, as the system names its ports.
#include "platform/PortMap.h"

namespace romwright {

PortMap PortMap::fromEnvironment()
{
    return windowsPorts();
}

// The adapter's USB ids, serial number and description live in the device
// registry (SetupAPI); until that is read, --list-ports shows none on Windows.
PortDetails portDetails(const QString &)
{
    return {};
}

} // namespace romwright
