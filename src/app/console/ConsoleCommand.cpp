// romwright --console: the start-up of the window and a click on PROGRAM,
// with the lamps, messages and progress printed instead of shown.
#include "app/FrontEnds.h"
#include "app/console/ConsoleDialogs.h"
#include "app/console/ConsoleOptions.h"
#include "app/console/ConsoleView.h"
#include "app/console/ProgressPrinter.h"
#include "app/shell/FirmwareCheck.h"
#include "app/shell/FirmwareDiscovery.h"
#include "app/shell/FormLoad.h"
#include "app/shell/MainState.h"
#include "app/shell/PortPermissionNotice.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "platform/QtSerialPort.h"
#include "platform/QtClock.h"
#include "platform/TerminationSignals.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/FindScanner.h"
#include "scanner/Scanner.h"

#include <cstdio>
#include <optional>
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

// Set by the test suite alone: it shortens every wait and pause of the
// update, which a real scanner would not survive (a 60 s erase bound of
// 600 ms abandons a slow erase), so it is never an option and always said.
constexpr const char *kTestTimeScale = "ROMWRIGHT_TEST_TIME_SCALE";

// 1 when the variable is not set; nothing when it holds no factor in (0, 1].
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
    const std::optional<double> timeScale = testTimeScale();
    if (!timeScale) {
        std::fprintf(stderr, "romwright: %s takes a factor above 0 and at most 1\n", kTestTimeScale);
        return kExitUsage;
    }
    if (*timeScale != 1.0)
        std::fprintf(stderr, "romwright: every wait scaled by %g (%s); not for a real scanner\n", *timeScale,
                     kTestTimeScale);

    ConsoleView view(stdout);
    ConsoleDialogs dialogs(stdout, stdin, options.yes);
    QtClock clock;
    const TerminationSignals interruption([&clock](int) { clock.endWaits(); });
    LocalFileSystem files;
    const QString folder = programFolder();
    const QString userFolder = userDataFolder();
    const PortMap map = PortMap::fromEnvironment();
    if (map.ignoredDevices() > 0)
        std::fprintf(stderr, "%s\n", qPrintable(map.ignoredDevicesNote()));
    MainState state(std::make_unique<QtSerialPort>(map), MainServices{view, dialogs, clock, files, folder, userFolder},
                    FlashTimings{}.scaled(*timeScale));
    state.update().powerCyclePrompt = [&dialogs](const QString &text, const QString &title) {
        return dialogs.powerCyclePrompt(text, title);
    };
    ProgressPrinter progress(stdout, isatty(fileno(stdout)) == 1);
    state.update().transfer().onProgress = [&progress](const TransferProgress &p) { progress.show(p); };
    view.beforePrint = [&progress] { progress.breakLine(); };
    dialogs.beforePrint = [&progress] { progress.breakLine(); };

    // The window's start-up, stopping where the window would go on with nothing to program.
    if (options.port == 0 && !options.model.isEmpty())
        dialogs.setChooserAnswer(parseChooserAnswer(options.model).model);
    state.optProcessor_Click(options.barCodeProcessor ? 1 : 0);
    state.setForceFirmware(options.force);
    StartUpRequest request;
    if (options.port != 0) {
        request.comP = QString::number(options.port);
        request.scannMod = options.model;
        request.givenType = ScannerType(typeOfScannerForModel(options.model));
    }
    request.firmwarePath = options.file;
    request.barCode = options.barCodeProcessor;
    request.stopAtFirstGap = true;
    request.searched = [](const Scanner &scanner, const FindScannerResult &found) {
        if (found.port < 1) {
            // "Compatibilty Mode" is a way of not finding one, worth naming.
            const QString notFound = QStringLiteral("Scanner Not Found");
            std::fprintf(stdout, "%s\n", qPrintable(scanner.Name() == notFound ? notFound
                                                     : notFound + QStringLiteral(" (") + scanner.Name() + QLatin1Char(')')));
            return;
        }
        std::fprintf(stdout, "Scanner: %s on port %d\n", qPrintable(scanner.Name()), int(found.port));
        std::fflush(stdout);
    };
    // Family and processor tell by the name alone, before the identification's request.
    request.beforePort = [&options](int typeOfScanner) {
        return options.file.isEmpty() ||
               !firmwareRefused(checkFirmware(options.file, firmwareKind(options.file, FirmwareData()),
                                              {typeOfScanner, std::nullopt, options.barCodeProcessor}),
                                options.force);
    };
    request.firmwareFound = [](const QString &sFirmFile) { std::printf("Firmware file: %s\n", qPrintable(sFirmFile)); };

    std::unique_ptr<Scanner> scanner;
    PortPermissionNotice notice;
    const StartUpResult started = FormLoad(request, {state, scanner, notice});
    switch (started.end) {
    case FormLoadEnd::Ready: break;
    case FormLoadEnd::EndProgram:
        if (endsProgram(started.identified))
            return finish(started.identified);
        std::fputs("romwright: ended in the scanner chooser\n", stderr);
        return kExitFailed;
    case FormLoadEnd::NoFirmware: {
        const QString model = view.text(LabelId::ScanMod);
        std::fprintf(stderr, "romwright: no firmware file for %s in %s; name one with --file\n",
                     started.typeOfScanner == kNotDetected ? "an unknown scanner (give --model)"
                                                           : qPrintable(QStringLiteral("the ") + model),
                     qPrintable(userFolder.isEmpty() ? folder : folder + QStringLiteral(" or ") + userFolder));
        return kExitFailed;
    }
    case FormLoadEnd::NoScanner:
    case FormLoadEnd::PortRefused:
    case FormLoadEnd::Declined: return kExitFailed;
    }
    // FileOpen has said what is wrong with the files; PROGRAM would only
    // ask for a file the user has already named.
    if (!state.firmware().FilesValid)
        return kExitFailed;
    // The boot software is known now, and the file's content.
    if (firmwareRefused(state.firmwareVerdict(state.target().bTargetA), options.force))
        return kExitFailed;

    return finish(state.cmdProgram_Click());
}

} // namespace romwright
