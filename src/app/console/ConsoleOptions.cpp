#include "app/console/ConsoleOptions.h"

#include "app/startup/CommandLineOptions.h"
#include "app/startup/OutputPaths.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "scanner/ChooserAnswer.h"

#include <algorithm>

namespace romwright {

QString consoleUsage()
{
    return QString::fromLatin1(
               "usage: romwright --console [--port N|N,N,...|all] [--file PATH] [--processor main|barcode]\n"
               "                           [--model NAME] [--yes] [--force] [--json] [--trace OUT] "
               "[--check]\n"
               "       romwright --console --forget [PORT|all]\n"
               "  --port N           the scanner's port, 1 to 256, or its device\n"
               "                     (%3); without it the ports are searched\n"
               "  --port 1,3,4       update the scanners on these ports at once, each in a process\n"
               "                     of its own; the end is a table of the results\n"
               "  --port all         the same for every port where the search finds a scanner\n"
               "  --file PATH        the firmware file to program; without it the newest firmware\n"
               "                     for the scanner is looked for in the program folder, then in\n"
               "                     %1\n"
               "  --processor P      main (default) or barcode, the Wexmoor's processor\n"
               "  --model NAME       the scanner model: Halvern 1450, Jorlith 750, Wexmoor 3650 or just\n"
               "                     halvern, jorlith, wexmoor, in any case, or the chooser's 1, 2, 3;\n"
               "                     no other name; with --port, a scanner there answering as\n"
               "                     another model is refused (--force goes on); while searching,\n"
               "                     the answer to the chooser's question\n"
               "  --yes              go on at once when asked to power-cycle the scanner\n"
               "  --force            program a file named or built for another model, processor or\n"
               "                     boot software all the same (loader files and files holding\n"
               "                     nothing for the scanner are still refused)\n"
               "  --json             print one JSON object per line instead of text: lamps, progress,\n"
               "                     messages, prompts, errors and at the end the result\n"
               "  --trace OUT        write every byte to and from the scanner to OUT as it goes, with\n"
               "                     its time and line rate; with several ports, OUT-portN for each\n"
               "                     scanner and OUT for the search\n"
               "  --check            find the scanner, ask its identity without restarting it, check\n"
               "                     the firmware file against it and say what an update would do\n"
               "                     (model, file, SHA-256, blocks, route); exit 0 when it would go\n"
               "                     ahead; nothing that changes or restarts the scanner is sent\n"
               "  --forget [PORT|all] drop the record of an interrupted update on PORT (all: every\n"
               "                     record) once its scanner no longer needs it to be finished\n"
               "  Every update is logged in %2 (romwright --history).\n")
        .arg(userFoldersHelp(), updateLogHelp(), portDeviceHelp());
}

namespace {

// "Halvern 1450, Jorlith 750 or Wexmoor 3650 (also halvern, jorlith, wexmoor
// or the chooser's numbers 1 to 3)": the names --model takes.
QString knownModels()
{
    QStringList shown;
    for (const ScannerFamily &f : kScannerFamilies)
        shown << latin1(f.shown);
    const QString last = shown.takeLast();
    return QStringLiteral("%1 or %2 (also %3, or the chooser's numbers 1 to %4)")
        .arg(shown.join(QStringLiteral(", ")), last, familyWords())
        .arg(kScannerFamilies.size());
}

} // namespace

namespace {

// One item of --port: a number, a device path, COM7 or \\.\COM12; 0 with why
// when it names no port.
int portOfItem(const QString &item, std::optional<PortMap> &map, QString &why)
{
    bool ok = false;
    int n = item.toInt(&ok);
    // A device path (/dev/ttyUSB0, /dev/serial/by-id/...), COM7 or \\.\COM12 names its port.
    const bool path = item.startsWith(QLatin1Char('/'));
    if (!ok && (path || PortMap::comPortNumber(item) != 0)) {
        if (!map)
            map = PortMap::fromEnvironment();
        n = map->portOf(item);
        // A terminal that is none of the mapped ports (a pseudo-terminal,
        // one adapter more) gets the next number for this run.
        if (n == 0 && path && isTerminalDevice(item)) {
            PortMap::addForThisRun(item);
            map = PortMap::fromEnvironment();
            n = map->portOf(item);
        }
        if (n == 0)
            why = QString::fromLatin1(path ? "--port: %1 is no serial port (romwright --list-ports "
                                             "shows them)"
                                           : "--port: %1 is none of the ports (romwright --list-ports "
                                             "shows them)")
                      .arg(displayFileName(item));
        return n;
    }
    return ok ? n : 0;
}

// --port's value into o; why it cannot be read, "" when it can.
QString readPorts(const QString &value, ConsoleOptions &o)
{
    o.allPorts = value.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0;
    if (o.allPorts)
        return {};
    const QStringList items = value.split(QLatin1Char(','));
    std::vector<int> numbers;
    std::optional<PortMap> map; // read once a device is named
    for (const QString &item : items) {
        QString why;
        const int n = portOfItem(item, map, why);
        if (!why.isEmpty())
            return why;
        if (n < PortMap::kFirstPort || n > PortMap::kLastPort)
            return items.size() < 2 ? QStringLiteral("--port takes a port number from 1 to 256")
                                    : QStringLiteral("--port takes port numbers from 1 to 256 "
                                                     "separated by commas (1,3,4), or all");
        if (std::find(numbers.begin(), numbers.end(), n) != numbers.end())
            return QStringLiteral("--port names port %1 twice").arg(n);
        numbers.push_back(n);
    }
    if (numbers.size() == 1)
        o.port = numbers.front();
    else
        o.ports = numbers;
    return {};
}

// --forget's value, "all" when none is given: the port, 0 for every record.
std::optional<int> forgetPort(const QString &v)
{
    bool ok = false;
    const int n = v.toInt(&ok);
    if (v.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0)
        return 0;
    if (ok && n >= PortMap::kFirstPort && n <= PortMap::kLastPort)
        return n;
    return std::nullopt;
}

// An option that takes a value, read into o; why not, "" when it was.
QString readValueOption(const QString &arg, OptionReader &reader, ConsoleOptions &o)
{
    if (arg == QLatin1String("--forget")) {
        // Without a value: every record.
        o.forget = forgetPort(reader.optionalValue().value_or(QStringLiteral("all")));
        return o.forget ? QString() : QStringLiteral("--forget takes a port number from 1 to 256, or all");
    }
    const bool file = arg == QLatin1String("--file");
    const bool trace = arg == QLatin1String("--trace");
    const auto v =
        reader.value(arg == QLatin1String("--port") ? QStringLiteral("a port number from 1 to 256, or all")
                     : file                         ? QStringLiteral("the path of a firmware file")
                     : trace                        ? QStringLiteral("the path of the file to write")
                     : arg == QLatin1String("--processor") ? QStringLiteral("main or barcode")
                                                           : knownModels());
    if (!v)
        return reader.error();
    if (arg == QLatin1String("--port"))
        return readPorts(*v, o);
    if (file || trace) {
        if (v->isEmpty())
            return QStringLiteral("%1 takes a path, not an empty text").arg(arg);
        (file ? o.file : o.trace) = *v;
        return {};
    }
    if (arg == QLatin1String("--processor")) {
        const bool main = v->compare(QLatin1String("main"), Qt::CaseInsensitive) == 0;
        const bool barCode = v->compare(QLatin1String("barcode"), Qt::CaseInsensitive) == 0;
        o.barCodeProcessor = barCode;
        return main || barCode ? QString() : QStringLiteral("--processor takes main or barcode");
    }
    // Any spelling the chooser's question understands, shown as the
    // window shows it; a name of no model would match no scanner's answer.
    o.model = modelShownFor(*v);
    return o.model.isEmpty()
               ? QStringLiteral("--model takes %1, not %2").arg(knownModels(), displayFileName(*v))
               : QString();
}

// What the options cannot mean together; "" when they can.
QString refusedTogether(const ConsoleOptions &o, const QStringList &others)
{
    // Only a family with two processors has a BarCode one; nothing is sent to find that out.
    if (const ScannerFamily *family = familyNamed(o.model);
        family && o.barCodeProcessor && !hasProcessors(*family))
        return QStringLiteral("--processor barcode: the %1 has no BarCode processor").arg(o.model);
    if (o.forget && !others.isEmpty())
        return QStringLiteral("--forget takes no %1").arg(others.first());
    if (o.check && o.severalScanners())
        return QStringLiteral("--check takes one port or none");
    // Before a port is opened: each scanner's trace as well, every port's
    // when the search names them.
    if (o.trace.isEmpty())
        return {};
    const ProgramInputs inputs = programInputs(o.file);
    QStringList traces{o.trace};
    for (int port = PortMap::kFirstPort; o.severalScanners() && port <= PortMap::kLastPort; ++port)
        if (o.allPorts || std::find(o.ports.begin(), o.ports.end(), port) != o.ports.end())
            traces << tracePathForPort(o.trace, port);
    for (const QString &trace : traces)
        if (const QString why = outputRefusal(QStringLiteral("--trace"), trace, inputs); !why.isEmpty())
            return why;
    return {};
}

} // namespace

ParsedConsoleOptions parseConsoleOptions(const QStringList &arguments)
{
    ConsoleOptions o;
    auto fail = [](const QString &why) { return ParsedConsoleOptions{std::nullopt, why}; };
    static const QStringList kOptions{"--console", "--yes",  "--json",  "--force", "--port",  "--processor",
                                      "--model",   "--file", "--trace", "--check", "--forget"};
    static const QStringList kFlags{"--console", "--yes", "--json", "--force", "--check"};
    QStringList others; // given beside --forget, which takes none
    OptionReader reader(arguments);
    while (reader.next()) {
        const QString arg = reader.argument();
        if (!kOptions.contains(arg))
            return fail(QStringLiteral("unknown argument: %1").arg(displayFileName(arg)));
        if (!reader.firstTime())
            return fail(reader.error());
        if (arg != QLatin1String("--console") && arg != QLatin1String("--forget") &&
            arg != QLatin1String("--json"))
            others << arg;
        if (kFlags.contains(arg)) {
            o.yes |= arg == QLatin1String("--yes");
            o.json |= arg == QLatin1String("--json");
            o.force |= arg == QLatin1String("--force");
            o.check |= arg == QLatin1String("--check");
        } else if (const QString why = readValueOption(arg, reader, o); !why.isEmpty()) {
            return fail(why);
        }
    }
    if (const QString why = refusedTogether(o, others); !why.isEmpty())
        return fail(why);
    return {o, QString()};
}

QStringList consoleArguments(const ConsoleOptions &o)
{
    QStringList arguments{QStringLiteral("--console")};
    if (o.json)
        arguments << QStringLiteral("--json");
    if (o.allPorts) {
        arguments << QStringLiteral("--port") << QStringLiteral("all");
    } else if (o.port != 0 || !o.ports.empty()) {
        QStringList numbers;
        for (const int port : o.ports.empty() ? std::vector<int>{o.port} : o.ports)
            numbers << QString::number(port);
        arguments << QStringLiteral("--port") << numbers.join(QLatin1Char(','));
    }
    if (!o.file.isEmpty())
        arguments << QStringLiteral("--file") << o.file;
    if (o.barCodeProcessor)
        arguments << QStringLiteral("--processor") << QStringLiteral("barcode");
    if (!o.model.isEmpty())
        arguments << QStringLiteral("--model") << o.model;
    if (o.yes)
        arguments << QStringLiteral("--yes");
    if (o.force)
        arguments << QStringLiteral("--force");
    if (!o.trace.isEmpty())
        arguments << QStringLiteral("--trace") << o.trace;
    if (o.check)
        arguments << QStringLiteral("--check");
    if (o.forget)
        arguments << QStringLiteral("--forget")
                  << (*o.forget == 0 ? QStringLiteral("all") : QString::number(*o.forget));
    return arguments;
}

QString tracePathForPort(const QString &trace, int port)
{
    const qsizetype slash =
        std::max(trace.lastIndexOf(QLatin1Char('/')), trace.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = trace.lastIndexOf(QLatin1Char('.'));
    const QString tag = QStringLiteral("-port%1").arg(port);
    // A leading dot ("~/.trace") begins the name, it is no extension.
    if (dot > slash + 1)
        return trace.left(dot) + tag + trace.mid(dot);
    return trace + tag;
}

std::optional<double> testTimeScale()
{
    if (!qEnvironmentVariableIsSet(kTestTimeScale))
        return 1.0;
    bool ok = false;
    const double factor = qEnvironmentVariable(kTestTimeScale).toDouble(&ok);
    if (!ok || !(factor > 0.0) || factor > 1.0)
        return std::nullopt;
    return factor;
}

QString testTimeScaleRefusal()
{
    return QStringLiteral("%1 takes a factor above 0 and at most 1").arg(QLatin1String(kTestTimeScale));
}

} // namespace romwright
