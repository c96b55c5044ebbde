// romwright --console: the start-up of the window and a click on PROGRAM,
// with the lamps, messages and progress printed instead of shown.
#include "app/FrontEnds.h"
#include "app/console/ConsoleDialogs.h"
#include "app/console/ConsoleOptions.h"
#include "app/console/ConsoleView.h"
#include "app/console/ProgressPrinter.h"
#include "app/shell/FirmwareCheck.h"
#include "app/shell/FirmwareDiscovery.h"
#include "app/shell/MainState.h"
#include "app/shell/PortPermissionNotice.h"
#include "platform/DeviceAccess.h"
#include "platform/FileSystem.h"
#include "platform/QtSerialPort.h"
#include "platform/Sleeper.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/FindScanner.h"
#include "scanner/Scanner.h"

#include <cstdio>
#include <unistd.h>

namespace romwright {

namespace {

constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The window would ask; the console stops unless --force said Yes in advance.
bool firmwareRefused(const FirmwareVerdict &verdict, bool force)
{
    if (verdict.kind == FirmwareVerdict::Kind::Fits || (verdict.kind == FirmwareVerdict::Kind::Ask && force))
        return false;
    std::fprintf(stderr, "romwright: %s The scanner was not changed.\n", qPrintable(verdict.text));
    if (verdict.kind == FirmwareVerdict::Kind::Ask)
        std::fputs("romwright: give --force to program it all the same\n", stderr);
    return true;
}

int finish(Outcome outcome)
{
    if (outcome == Outcome::EndCompleted)
        return kExitCompleted;
    std::fprintf(stderr, "romwright: the update did not complete: %s\n", describe(outcome));
    return kExitFailed;
}

} // namespace

int runConsole(const QStringList &arguments)
{
    const ParsedConsoleOptions parsed = parseConsoleOptions(arguments);
    if (!parsed.options) {
        std::fprintf(stderr, "romwright: %s\n%s", qPrintable(parsed.error), qPrintable(consoleUsage()));
        return kExitUsage;
    }
    const ConsoleOptions &options = *parsed.options;

    ConsoleView view(stdout);
    ConsoleDialogs dialogs(stdout, stdin, options.yes);
    BlockingSleeper sleeper;
    LocalFileSystem files;
    MainState state(std::make_unique<QtSerialPort>(), MainServices{view, dialogs, sleeper, files, programFolder()},
                    FlashTimings{}.scaled(options.timeScale));
    state.update().powerCyclePrompt = [&dialogs](const QString &text, const QString &title) {
        return dialogs.powerCyclePrompt(text, title);
    };
    ProgressPrinter progress(stdout, isatty(fileno(stdout)) == 1);
    state.update().transfer().onProgress = [&progress](const TransferProgress &p) { progress.show(p); };
    view.beforePrint = [&progress] { progress.breakLine(); };
    dialogs.beforePrint = [&progress] { progress.breakLine(); };

    // The window's start-up, in its order.
    int port = options.port;
    int scannerType = typeOfScannerForModel(options.model);
    QString model = options.model;
    if (port == 0) {
        if (!options.model.isEmpty())
            dialogs.setChooserAnswer(parseChooserAnswer(options.model).model);
        Scanner scanner(sleeper, dialogs, view, state.flags());
        const FindScannerResult found = FindScanner(scanner, state.MSComm1(), view, state.flags());
        if (found.status == FindStatus::EndProgram) {
            std::fputs("romwright: ended in the scanner chooser\n", stderr);
            return kExitFailed;
        }
        if (found.port < 1) {
            // "Compatibilty Mode" is a way of not finding one, worth naming.
            const QString notFound = QStringLiteral("Scanner Not Found");
            std::fprintf(stdout, "%s\n", qPrintable(scanner.Name() == notFound ? notFound
                                                     : notFound + QStringLiteral(" (") + scanner.Name() + QLatin1Char(')')));
            PortPermissionNotice().show(dialogs, scanner.refusedPorts());
            return kExitFailed;
        }
        port = found.port;
        scannerType = scanner.TypeOfScanner();
        model = scanner.Name();
        std::fprintf(stdout, "Scanner: %s on port %d\n", qPrintable(model), port);
        std::fflush(stdout);
    } else if (!options.model.isEmpty()) {
        view.setText(LabelId::ScanMod, options.model);
    }
    // Family and processor tell by the name alone, before the identification's request.
    if (!options.file.isEmpty() &&
        firmwareRefused(checkFirmware(options.file, firmwareKind(options.file, FirmwareData()),
                                      {scannerType, std::nullopt, options.barCodeProcessor}),
                        options.force))
        return kExitFailed;
    state.startTimers();
    if (!state.mnuCom_Click(port)) {
        const DeviceAccess access = deviceAccess(state.MSComm1().deviceName());
        if (access.refusesUser()) {
            PortPermissionNotice().show(dialogs, {{port, access}});
            return kExitFailed;
        }
    }
    const Outcome identified = state.IdentifyTarget();
    if (endsProgram(identified))
        return finish(identified);
    state.optProcessor_Click(options.barCodeProcessor ? 1 : 0);
    state.setForceFirmware(options.force);

    // Without --file, the window's start-up search: the newest firmware for
    // this scanner and its bootloader kind in the program folder.
    QString file = options.file;
    if (file.isEmpty()) {
        const int type = scannerType;
        const QString folder = programFolder();
        const QString name =
            discoverFirmware(files, folder, type, state.target().bTargetA, QString(), options.barCodeProcessor);
        if (name.isEmpty()) {
            std::fprintf(stderr, "romwright: no firmware file for %s in %s; name one with --file\n",
                         type == 0 ? "an unknown scanner (give --model)" : qPrintable(QStringLiteral("the ") + model),
                         qPrintable(folder));
            return kExitFailed;
        }
        file = joinPath(folder, name);
        std::printf("Firmware file: %s\n", qPrintable(name));
    }
    view.setText(LabelId::FirmFile, fileNameOf(file));
    state.FileOpen(file);
    // The boot software is known now, and the file's content.
    if (state.firmware().FilesValid && firmwareRefused(state.firmwareVerdict(state.target().bTargetA), options.force))
        return kExitFailed;

    return finish(state.cmdProgram_Click());
}

} // namespace romwright
