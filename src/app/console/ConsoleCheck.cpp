#include "app/console/ConsoleCheck.h"

#include "app/ExitStatus.h"
#include "app/common/FirmwareDiscovery.h"
#include "app/common/FormLoad.h"
#include "app/common/MainState.h"
#include "app/common/PortPermissionNotice.h"
#include "app/console/ConsoleOptions.h"
#include "app/console/ConsoleReport.h"
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

// The identification's request would restart the scanner into its boot
// software, so the boot software is known only when the scanner already
// waits in it.
int consoleCheck(MainState &state, StartUpRequest request, const ConsoleOptions &options,
                 ConsoleReport &report)
{
    const MainServices &services = state.services();
    int port = options.port;
    int type = kNotDetected;
    bool reached = false;
    request.beforePort = [&](int typeOfScanner) {
        reached = true;
        type = typeOfScanner;
        return false; // the port is not opened for the identification
    };
    const auto searched = request.searched;
    request.searched = [&](const Scanner &scanner, const FindScannerResult &found) {
        port = found.port;
        searched(scanner, found);
    };
    request.offerToFinish = nullptr;
    std::unique_ptr<Scanner> scanner;
    PortPermissionNotice notice;
    const StartUpResult started = FormLoad(request, {state, scanner, notice});
    // Without a file named, the file of each boot software that could greet,
    // as the update would judge them before restarting the scanner.
    const FileOpenContext files{services.files, services.programFolder, services.userDataFolder,
                                services.systemDataFolders};
    if (!started.candidates.empty())
        report.candidates(started.candidates, files);
    if (started.end == FormLoadEnd::NoFirmware && !started.candidates.empty()) {
        QStringList missing;
        for (const FirmwareCandidate &candidate : started.candidates)
            missing << missingFirmwareAdvice(candidate, started.candidates, files);
        report.error(QStringLiteral("the update would not go ahead: no firmware file for the %1; %2")
                         .arg(state.inputs().model(), missing.join(QStringLiteral("; "))));
        return kExitFailed;
    }
    for (const FirmwareCandidate &candidate : started.candidates)
        if (!candidate.path.isEmpty() && !candidate.sound) {
            report.error(
                QStringLiteral("the update would not go ahead: %1, which it would take for %2, cannot "
                               "be used")
                    .arg(displayFileName(candidate.path), bootSoftwareName(candidate.bTargetA)));
            return kExitFailed;
        }
    // Not found, refused by the gate or a port number without a port: said
    // already; a port named that cannot be used is said once more, with why.
    if (!reached || port < PortMap::kFirstPort || port > PortMap::kLastPort) {
        if (options.port >= PortMap::kFirstPort && options.port <= PortMap::kLastPort) {
            const std::unique_ptr<SerialPort> probe = state.MSComm1().sibling();
            if (const QString why = portUnusableReason(*probe, options.port); !why.isEmpty())
                report.error(QStringLiteral("the update would not go ahead: ") + why);
        }
        return kExitFailed;
    }

    const IdentityAnswer &answered = state.identityOn(port);
    if (answered.kind == IdentityAnswer::Kind::NoPort) {
        const std::unique_ptr<SerialPort> probe = state.MSComm1().sibling();
        QString why = portUnusableReason(*probe, port);
        if (why.isEmpty())
            why = QStringLiteral("port %1 cannot be opened (%2)").arg(port).arg(answered.portError);
        report.error(QStringLiteral("the update would not go ahead: ") + why);
        return kExitFailed;
    }
    const std::optional<bool> bTargetA =
        answered.kind == IdentityAnswer::Kind::BootPrompt
            ? std::optional<bool>(answered.raw.endsWith(letter::kGreeting128))
            : std::nullopt;
    const QString model = state.inputs().model();
    if (!familyNamed(model)) {
        report.error(
            QStringLiteral("the scanner on port %1 does not name its model; give --model").arg(port));
        return kExitFailed;
    }
    if (type == kNotDetected)
        type = typeOfScannerForModel(model);

    QString path = state.firmwareFile();
    if (path.isEmpty()) {
        const FirmwareChoice chosen = discoverFirmware(
            services.files,
            QStringList{services.programFolder, services.userDataFolder} + services.systemDataFolders, type,
            bTargetA.value_or(false), QString(), options.barCodeProcessor);
        if (chosen.sFirmFile.isEmpty()) {
            report.error(QStringLiteral("no firmware file for the %1; name one with --file").arg(model));
            return kExitFailed;
        }
        path = joinPath(chosen.folder, chosen.sFirmFile);
        state.inputs().setFirmwareCaption(fileNameOf(path));
        state.FileOpen(path);
    }
    if (!state.passGate(bTargetA))
        return kExitFailed;

    const FirmwareSet &firmware = state.firmware();
    const bool rows128 = bTargetA
                             ? *bTargetA
                             : firmwareKind(path, firmware.FirmwareFileData, firmware.FirmwareHeader).boot ==
                                   BootSoftware::Rows128;
    const int blocks = rows128 ? hexRecordLoad(firmware.FlashBlocks128, firmware.FirmwareImage).blocks
                               : hexRecordLoad(firmware.FlashBlocks64, firmware.FirmwareImage).blocks;
    const QString sha256 = QString::fromLatin1(sha256Hex(services.files.read(path).bytes));
    const QString route =
        !bTargetA ? QString()
                  : QStringLiteral("the firmware pass of the %1-byte boot software, which waits in it")
                        .arg(*bTargetA ? 128 : 64);
    const QString answer = answered.kind == IdentityAnswer::Kind::Model
                               ? QStringLiteral("answers as %1").arg(answered.model)
                           : bTargetA ? QStringLiteral("waits in its boot software (\"%1\")")
                                            .arg(QString::fromLatin1(answered.raw.right(1)))
                                      : QStringLiteral("does not answer");
    report.check({port, model, answered.kind == IdentityAnswer::Kind::Model ? answered.model : QString(),
                  answer, path, sha256, blocks, route});
    return kExitCompleted;
}

} // namespace romwright
