// The port map of Windows: port n is COMn, as the system names its ports.
#include "platform/PortMap.h"

namespace romwright {

PortMap PortMap::fromEnvironment()
{
    return windowsPorts();
}

} // namespace romwright
