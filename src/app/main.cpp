#include "app/FrontEnds.h"
#include "platform/BrokenPipe.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstring>

namespace {

bool hasOption(int argc, char **argv, const char *option)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace romwright;
    QCoreApplication::setApplicationName(QStringLiteral("Romwright"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ROMWRIGHT_VERSION));
    ignoreBrokenPipe();

    const bool info = hasOption(argc, argv, "--info");
    const bool console = hasOption(argc, argv, "--console");
    if (!info && !console)
        return runWindow(argc, argv);

    QCoreApplication app(argc, argv);
    // Not QCoreApplication::arguments(): a file name that is not UTF-8 would lose its bytes.
    const QStringList arguments = commandLineArguments(argc, argv);
    return info ? runInfo(arguments) : runConsole(arguments);
}
