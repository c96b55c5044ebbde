#include "app/console/ConsoleOptions.h"

#include "platform/FileSystem.h"
#include "scanner/ChooserAnswer.h"

namespace romwright {

QString consoleUsage()
{
    return QStringLiteral(
        "usage: romwright --console [--port N] [--file PATH] [--processor main|barcode] [--model NAME] "
        "[--yes]\n"
        "                           [--force] [--json]\n"
        "  --port N           the scanner's port, 1 to 16; without it the ports are searched\n"
        "  --file PATH        the firmware file to program; without it the newest firmware\n"
        "                     for the scanner is looked for in the program folder, then in\n"
        "                     ~/.local/share/romwright ($XDG_DATA_HOME/romwright)\n"
        "  --processor P      main (default) or barcode, the Wexmoor's processor\n"
        "  --model NAME       the scanner model: Halvern 1450, Jorlith 750, Wexmoor 3650 or just\n"
        "                     halvern, jorlith, wexmoor, in any case; while searching, the\n"
        "                     answer to the chooser's question\n"
        "  --yes              go on at once when asked to power-cycle the scanner\n"
        "  --force            program a file named or built for another model, processor or\n"
        "                     boot software all the same (loader files and files holding\n"
        "                     nothing for the scanner are still refused)\n"
        "  --json             print one JSON object per line instead of text: lamps, progress,\n"
        "                     messages, prompts, errors and at the end the result\n");
}

ParsedConsoleOptions parseConsoleOptions(const QStringList &arguments)
{
    ConsoleOptions o;
    auto fail = [](const QString &why) { return ParsedConsoleOptions{std::nullopt, why}; };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        if (arg == QLatin1String("--console")) {
            continue;
        } else if (arg == QLatin1String("--yes")) {
            o.yes = true;
        } else if (arg == QLatin1String("--json")) {
            o.json = true;
        } else if (arg == QLatin1String("--force")) {
            o.force = true;
        } else if (arg == QLatin1String("--port")) {
            const auto v = value();
            bool ok = false;
            const int n = v ? v->toInt(&ok) : 0;
            if (!ok || n < 1 || n > 16)
                return fail(QStringLiteral("--port takes a port number from 1 to 16"));
            o.port = n;
        } else if (arg == QLatin1String("--file")) {
            const auto v = value();
            if (!v || v->isEmpty())
                return fail(QStringLiteral("--file takes the path of a firmware file"));
            o.file = *v;
        } else if (arg == QLatin1String("--processor")) {
            const auto v = value();
            if (v && v->compare(QLatin1String("main"), Qt::CaseInsensitive) == 0)
                o.barCodeProcessor = false;
            else if (v && v->compare(QLatin1String("barcode"), Qt::CaseInsensitive) == 0)
                o.barCodeProcessor = true;
            else
                return fail(QStringLiteral("--processor takes main or barcode"));
        } else if (arg == QLatin1String("--model")) {
            const auto v = value();
            if (!v)
                return fail(QStringLiteral("--model takes a model name"));
            o.model = *v;
        } else {
            return fail(QStringLiteral("unknown argument: %1").arg(displayFileName(arg)));
        }
    }
    // Without a port the ports are searched; the model then answers the chooser.
    // Any spelling it understands is shown as the window would show it.
    if (!o.model.isEmpty()) {
        const QString shown = modelShownFor(o.model);
        if (!shown.isEmpty())
            o.model = shown;
        else if (o.port == 0)
            return fail(
                QStringLiteral("--model takes halvern, jorlith or wexmoor when the port is searched"));
    }
    return {o, QString()};
}

} // namespace romwright
