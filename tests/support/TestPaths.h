#pragma once
// Where the tests find what the build made.

#include <QString>
#include <cstdlib>

namespace romwright::test {

// The build's program folder: romwright, romwright-sim, the help file.
inline QString programDir()
{
    const char *dir = std::getenv("ROMWRIGHT_PROGRAM_DIR");
    return dir ? QString::fromLocal8Bit(dir) : QString();
}

// The sample firmware and loader files. The suite runs with XDG_DATA_HOME
// at the build's test data, so this is where the program finds them as a
// user's data folder.
inline QString sampleDir()
{
    const char *dir = std::getenv("XDG_DATA_HOME");
    return dir ? QString::fromLocal8Bit(dir) + QStringLiteral("/romwright") : QString();
}

inline QString sourceDir()
{
    const char *dir = std::getenv("ROMWRIGHT_SOURCE_DIR");
    return dir ? QString::fromLocal8Bit(dir) : QString();
}

} // namespace romwright::test
