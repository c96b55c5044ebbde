#pragma once
// Where the tests find what the build made.

#include <QFile>
#include <QString>
#include <cstdlib>
#include <initializer_list>

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

// Copies the named sample files into folder: false if one could not be.
inline bool copySamples(std::initializer_list<const char *> names, const QString &folder)
{
    for (const char *name : names)
        if (!QFile::copy(sampleDir() + QLatin1Char('/') + QLatin1String(name),
                         folder + QLatin1Char('/') + QLatin1String(name)))
            return false;
    return true;
}

} // namespace romwright::test
