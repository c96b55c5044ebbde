#pragma once
// Where the tests find what the build made.

#include <QString>
#include <cstdlib>

namespace romwright::test {

// The build's program folder: romwright, romwright-sim, the loaders.
inline QString programDir()
{
    const char *dir = std::getenv("ROMWRIGHT_PROGRAM_DIR");
    return dir ? QString::fromLocal8Bit(dir) : QString();
}

inline QString sourceDir()
{
    const char *dir = std::getenv("ROMWRIGHT_SOURCE_DIR");
    return dir ? QString::fromLocal8Bit(dir) : QString();
}

} // namespace romwright::test
