#include "app/FrontEnds.h"

#include <cstdio>

namespace romwright {

int runConsole(const QStringList &)
{
    std::fputs("romwright --console: not built yet\n", stderr);
    return 2;
}

} // namespace romwright
