#include "app/FrontEnds.h"

#include <cstdio>

namespace romwright {

int runInfo(const QStringList &)
{
    std::fputs("romwright --info: not built yet\n", stderr);
    return 2;
}

} // namespace romwright
