#include "app/console/ConsoleCheck.h"

#include "app/console/ConsoleOptions.h"
#include "app/console/ConsoleReport.h"
#include "app/startup/FormLoad.h"
#include "app/startup/MainState.h"
#include "app/startup/PortPermissionNotice.h"
#include "app/update/FirmwareDiscovery.h"
#include "family/BootLetters.h"
#include "image/FileOpen.h"
#include "image/FirmwareCheck.h"
#include "image/FlashLayout.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "platform/PortUsable.h"
#include "scanner/Scanner.h"
#include "view/MainView.h"

namespace romwright {

namespace {

// "the update would not go ahead" for the file of a boot software that is
// missing or cannot be used; nullopt when the files at hand pass.
std::optional<RunEnding> candidatesRefused(const StartUpResult &started, const QString &model,
                                           const FileOpenContext &files)
{
    if (started.end == FormLoadEnd::NoFirmware && !started.candidates.empty()) {
        QStringList missing;
        for (const FirmwareCandidate &candidate : started.candidates)
            missing << missingFirmwareAdvice(candidate, started.candidates, files);
        return RunEnding::failed(
            QStringLiteral("the update would not go ahead: no firmware file for the %1; %2")
                .arg(model, missing.join(QStringLiteral("; "))));
    }
    for (const FirmwareCandidate &candidate : started.candidates)
        if (!candidate.path.isEmpty() && !candidate.sound) {
            return RunEnding::failed(
                QStringLiteral("the update would not go ahead: %1, which it would take for %2, cannot "
                               "be used")
                    .arg(displayFileName(candidate.path), bootSoftwareName(candidate.bTargetA)));
        }
    return std::nullopt;
}

// Why port cannot be used, when it can be said: "" when it can.
QString portRefusal(MainState &state, int port)
{
    const std::unique_ptr<SerialPort> probe = state.MSComm1().sibling();
    return portUnusableReason(*probe, port);
}

// The file the update would take, loaded; "" when there is none.
QString fileToTake(MainState &state, int type, std::optional<bool> bTargetA, bool barCode)
{
    const MainServices &services = state.services();
    QString path = state.firmwareFile();
    if (!path.isEmpty())
        return path;
    const FirmwareChoice chosen = discoverFirmware(
        services.files,
        QStringList{services.programFolder, services.userDataFolder} + services.systemDataFolders, type,
        bTargetA.value_or(false), QString(), barCode);
    if (chosen.sFirmFile.isEmpty())
        return path;
    path = joinPath(chosen.folder, chosen.sFirmFile);
    state.inputs().setFile(path);
    state.FileOpen(path);
    return path;
}

// What the update would send, said through the report.
void reportCheck(MainState &state, int port, const IdentityAnswer &answered, std::optional<bool> bTargetA,
                 const QString &path, ConsoleReport &report)
{
    const FirmwareSet &firmware = state.firmware();
    const bool rows128 = bTargetA
                             ? *bTargetA
                             : firmwareKind(path, firmware.FirmwareFileData, firmware.FirmwareHeader).boot ==
                                   BootSoftware::Rows128;
    const int blocks = rows128 ? hexRecordLoad(firmware.FlashBlocks128, firmware.FirmwareImage).blocks
                               : hexRecordLoad(firmware.FlashBlocks64, firmware.FirmwareImage).blocks;
    const QString sha256 = QString::fromLatin1(sha256Hex(state.services().files.read(path).bytes));
    const QString route =
        !bTargetA ? QString()
                  : QStringLiteral("the firmware pass of the %1-byte boot software, which waits in it")
                        .arg(*bTargetA ? 128 : 64);
    const QString answer = answered.kind == IdentityAnswer::Kind::Model
                               ? QStringLiteral("answers as %1").arg(answered.model)
                           : bTargetA ? QStringLiteral("waits in its boot software (\"%1\")")
                                            .arg(QString::fromLatin1(answered.raw.right(1)))
                                      : QStringLiteral("does not answer");
    report.check({port, state.inputs().model(),
                  answered.kind == IdentityAnswer::Kind::Model ? answered.model : QString(), answer, path,
                  sha256, blocks, route});
}

} // namespace

// The identification's request would restart the scanner into its boot
// software, so the boot software is known only when the scanner already
// waits in it.
StartUpRequest checkRequest(StartUpRequest request)
{
    request.offerRecords = false;
    request.stopAfter = StartUpStep::Gate; // the port is not opened for the identification
    return request;
}

RunEnding consoleCheck(MainState &state, const StartUpResult &started, const ConsoleOptions &options,
                       ConsoleReport &report)
{
    const MainServices &services = state.services();
    // Without a file named, the file of each boot software that could greet,
    // as the update would judge them before restarting the scanner.
    const FileOpenContext files{services.files, services.programFolder, services.userDataFolder,
                                services.systemDataFolders};
    if (!started.candidates.empty())
        report.candidates(started.candidates, files);
    if (std::optional<RunEnding> refused = candidatesRefused(started, state.inputs().model(), files))
        return *refused;
    // Not found, refused by the gate or a port number without a port: said
    // already; a port named that cannot be used is said once more, with why.
    const int port = options.port != 0 ? options.port : started.port;
    if (started.end != FormLoadEnd::Stopped || port < PortMap::kFirstPort || port > PortMap::kLastPort) {
        if (options.port >= PortMap::kFirstPort && options.port <= PortMap::kLastPort)
            if (const QString why = portRefusal(state, options.port); !why.isEmpty())
                return RunEnding::failed(QStringLiteral("the update would not go ahead: ") + why);
        return RunEnding::failed();
    }
    const IdentityAnswer &answered = state.gate().identityOn(port);
    if (answered.kind == IdentityAnswer::Kind::NoPort) {
        QString why = portRefusal(state, port);
        if (why.isEmpty())
            why = QStringLiteral("port %1 cannot be opened (%2)").arg(port).arg(answered.portError);
        return RunEnding::failed(QStringLiteral("the update would not go ahead: ") + why);
    }
    const std::optional<bool> bTargetA =
        answered.kind == IdentityAnswer::Kind::BootPrompt
            ? std::optional<bool>(answered.raw.endsWith(letter::kGreeting128))
            : std::nullopt;
    const QString model = state.inputs().model();
    if (!familyNamed(model))
        return RunEnding::failed(
            QStringLiteral("the scanner on port %1 does not name its model; give --model").arg(port));
    const int type =
        started.typeOfScanner != kNotDetected ? started.typeOfScanner : typeOfScannerForModel(model);
    const QString path = fileToTake(state, type, bTargetA, options.barCodeProcessor);
    if (path.isEmpty())
        return RunEnding::failed(
            QStringLiteral("no firmware file for the %1; name one with --file").arg(model));
    if (state.gate().gate(port, GateMoment::File, bTargetA) != GateVerdict::Pass)
        return RunEnding::failed();
    reportCheck(state, port, answered, bTargetA, path, report);
    return RunEnding::completed();
}

} // namespace romwright
