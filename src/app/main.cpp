#include "app/ExitStatus.h"
#include "app/FrontEnds.h"
#include "app/console/ConsoleOptions.h"
#include "app/console/ConsoleReport.h"
#include "app/console/MultiScannerRun.h"
#include "app/startup/CommandLineOptions.h"
#include "platform/BrokenPipe.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

bool hasOption(int argc, char **argv, const char *option)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}

QString windowUsage()
{
    return QStringLiteral(
        "usage: romwright [FILE][,PORT[,MODEL]]\n"
        "       romwright --trace OUT [FILE][,PORT[,MODEL]]\n"
        "  opens the window; FILE is a firmware file in the program folder, PORT 1 to 256,\n"
        "  MODEL as the window shows it (\"Hlv1450ver5_9.s19,1,Halvern 1450\");\n"
        "  --trace writes every byte to and from the scanner to OUT, with its time and line rate\n");
}

QString fullUsage()
{
    using namespace romwright;
    return windowUsage() + QLatin1Char('\n') + consoleUsage() + QLatin1Char('\n') + infoUsage() +
           QLatin1Char('\n') + historyUsage() + QLatin1Char('\n') + listPortsUsage() +
           QStringLiteral("\n"
                          "  -h, --help         this text\n"
                          "  --version          the program's version\n");
}

// The toolkit's own window options (-style, -platform, ...): the window takes
// them, "--" spelling included. Those that read the argument after them say so.
int toolkitOptionLength(const char *argument)
{
    struct Option {
        const char *name;
        int length;
    };
    static constexpr Option kOptions[] = {
        {"platform", 2},
        {"platformpluginpath", 2},
        {"platformtheme", 2},
        {"plugin", 2},
        {"qwindowgeometry", 2},
        {"qwindowicon", 2},
        {"qwindowtitle", 2},
        {"session", 2},
        {"style", 2},
        {"stylesheet", 2},
        {"display", 2},
        {"geometry", 2},
        {"reverse", 1},
        {"widgetcount", 1},
        {"nograb", 1},
        {"dograb", 1},
        {"sync", 1},
    };
    const char *name = argument + (std::strncmp(argument, "--", 2) == 0 ? 2 : 1);
    for (const Option &option : kOptions)
        if (std::strcmp(name, option.name) == 0)
            return option.length;
    return 0;
}

// The first argument of the window's command line that looks like an option
// and is none; nullptr when there is none. A firmware file never starts with
// "-", so "-x" is a mistyped option, not a file to look for.
const char *unknownWindowOption(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-')
            continue;
        const int length = toolkitOptionLength(argv[i]);
        if (length == 0)
            return argv[i];
        i += length - 1;
    }
    return nullptr;
}

// Takes "--trace OUT" out of the window's command line, which is then the
// file, port and model alone. Empty when not given; nullopt after a usage
// error (no OUT, OUT an option, --trace twice) has been said.
std::optional<QString> takeTrace(int &argc, char **argv)
{
    std::optional<QString> trace;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--trace") != 0)
            continue;
        const QString out = i + 1 < argc ? romwright::decodeFileName(QByteArray(argv[i + 1])) : QString();
        if (trace) {
            romwright::printUsageError(QStringLiteral("--trace is given twice"));
            return std::nullopt;
        }
        if (out.isEmpty() || romwright::looksLikeOption(out)) {
            romwright::printUsageError(
                QStringLiteral("--trace takes the path of the file to write") +
                (out.isEmpty() ? QString() : QStringLiteral(", not the option %1").arg(out)));
            return std::nullopt;
        }
        trace = out;
        for (int j = i; j + 2 <= argc; ++j)
            argv[j] = argv[j + 2]; // argv[argc] is the null pointer, moved along
        argc -= 2;
        --i;
    }
    return trace.value_or(QString());
}

} // namespace

int main(int argc, char **argv)
{
    using namespace romwright;
    QCoreApplication::setApplicationName(QStringLiteral("Romwright"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ROMWRIGHT_VERSION));
    ignoreBrokenPipe();
    matchConsoleCodePage();

    // Asked for after any front end's option, as well.
    if (hasOption(argc, argv, "--help") || hasOption(argc, argv, "-h")) {
        std::fputs(qPrintable(fullUsage()), stdout);
        return kExitCompleted;
    }
    if (hasOption(argc, argv, "--version")) {
        std::printf("romwright %s\n", ROMWRIGHT_VERSION);
        return kExitCompleted;
    }

    const bool info = hasOption(argc, argv, "--info");
    const bool console = hasOption(argc, argv, "--console");
    const bool history = hasOption(argc, argv, "--history");
    const bool listPorts = hasOption(argc, argv, "--list-ports");
    if (!info && !console && !history && !listPorts) {
        const std::optional<QString> trace = takeTrace(argc, argv);
        if (!trace)
            return kExitUsage;
        if (const char *unknown = unknownWindowOption(argc, argv)) {
            printUsageError(QStringLiteral("unknown option %1").arg(decodeFileName(QByteArray(unknown))));
            return kExitUsage;
        }
        return runWindow(argc, argv, *trace);
    }

    // The console and --info need none of the desktop's event-loop
    // integration; Qt's own loop wakes sooner for each acknowledgement of
    // the firmware pass (bench/flash-throughput). A value set outside wins.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    // Not QCoreApplication::arguments(): a file name that is not UTF-8 would lose its bytes.
    const QStringList arguments = commandLineArguments(argc, argv);
    if (info)
        return runInfo(arguments);
    if (history && !console)
        return runHistory(arguments);
    if (listPorts && !console)
        return runListPorts(arguments);
    const ParsedConsoleOptions parsed = parseConsoleOptions(arguments);
    if (parsed.options && parsed.options->severalScanners())
        return runSeveralScanners(*parsed.options);
    ConsoleReport report(stdout, stderr,
                         parsed.options ? parsed.options->json : arguments.contains(QLatin1String("--json")));
    const int status = runConsole(arguments, report);
    // A script reads the end of the run from the last line, where the exit
    // status is known.
    report.result(status);
    return status;
}
