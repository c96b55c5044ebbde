#include "platform/BrokenPipe.h"

#include <csignal>

namespace romwright {

void ignoreBrokenPipe()
{
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

} // namespace romwright
