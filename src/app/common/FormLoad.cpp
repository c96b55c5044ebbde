#include "app/common/FormLoad.h"

#include "app/common/MainState.h"
#include "app/common/PortPermissionNotice.h"
#include "platform/DeviceAccess.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "scanner/Scanner.h"
#include "view/MainView.h"

namespace romwright {

PortOpening openPortExplained(MainState &state, PortPermissionNotice &notice, int n)
{
    if (state.mnuCom_Click(n))
        return PortOpening::Opened;
    if (n < PortMap::kFirstPort || n > PortMap::kLastPort)
        return PortOpening::Failed;
    const DeviceAccess access = deviceAccess(state.MSComm1().deviceName());
    if (!access.refusesUser())
        return PortOpening::Failed;
    notice.show(state.services().dialogs, {{n, access}});
    return PortOpening::RefusedToUser;
}

StartUpResult FormLoad(const StartUpRequest &request, const StartUpContext &context)
{
    MainState &state = context.state;
    const MainServices &services = state.services();
    StartUpResult result;
    if (state.flags().bProgramming) {
        result.end = FormLoadEnd::EndProgram;
        return result;
    }

    state.target().sLetterQ = QStringLiteral("Q");
    state.target().sLetterA = QStringLiteral("A");
    context.cScann = std::make_unique<Scanner>(services.clock, services.dialogs, services.view, state.flags(),
                                               context.scannerTimings);
    Scanner &scanner = *context.cScann;

    const bool searching = !request.comP || !request.scannMod;
    const FindScannerResult found = searching
                                        ? FindScanner(scanner, state.MSComm1(), services.view, state.flags())
                                        : FindScanner(scanner, state.MSComm1(), services.view, state.flags(),
                                                      request.comP, request.scannMod);
    if (found.status == FindStatus::EndProgram) {
        result.end = FormLoadEnd::EndProgram;
        return result;
    }
    // A port number that is not one leaves no port; the model label is set.
    const int port = found.status == FindStatus::BadPortNumber ? 0 : found.port;
    result.typeOfScanner = searching ? scanner.TypeOfScanner() : request.givenType;
    // No scanner, and ports this user may not open: that is most likely why.
    const bool explainRefusal = searching && port < 1 && !scanner.refusedPorts().empty();
    if (searching) {
        if (request.searched)
            request.searched(scanner, found);
        if (port < 1 && request.stopAtFirstGap) {
            context.notice.show(services.dialogs, scanner.refusedPorts());
            result.end = FormLoadEnd::NoScanner;
            return result;
        }
    }
    if (request.beforePort && !request.beforePort(result.typeOfScanner)) {
        result.end = FormLoadEnd::Declined;
        return result;
    }

    state.startTimers();
    // A number given goes to the port whatever it is, so that one without a
    // port (0, 17, "x") is refused there with a red lamp; it never stands
    // for another port.
    const bool portGiven = request.comP && !request.comP->trimmed().isEmpty();
    if ((port > 0 || portGiven) &&
        openPortExplained(state, context.notice, port) == PortOpening::RefusedToUser &&
        request.stopAtFirstGap) {
        result.end = FormLoadEnd::PortRefused;
        return result;
    }

    result.identified = state.IdentifyTarget();
    if (endsProgram(result.identified)) {
        result.end = FormLoadEnd::EndProgram;
        return result;
    }

    const bool bTargetA = state.target().bTargetA;
    if (!request.firmwarePath.isEmpty()) {
        services.view.setText(LabelId::FirmFile, fileNameOf(request.firmwarePath));
        state.FileOpen(request.firmwarePath);
    } else {
        const FirmwareChoice chosen = discoverFirmware(
            services.files,
            QStringList{services.programFolder, services.userDataFolder} + services.systemDataFolders,
            result.typeOfScanner, bTargetA, request.firmwareName, request.barCode);
        result.sFirmFile = chosen.sFirmFile;
        if (chosen.sFirmFile.isEmpty() && request.stopAtFirstGap) {
            result.end = FormLoadEnd::NoFirmware;
            return result;
        }
        if (!chosen.sFirmFile.isEmpty() && request.firmwareFound)
            request.firmwareFound(chosen.sFirmFile);
        loadDiscoveredFirmware(services.files, chosen, services.view,
                               [&state](const QString &path) { state.FileOpen(path); });
    }

    if (explainRefusal) {
        services.view.setLamp(LampId::ComStatus, Lamp::Red);
        context.notice.show(services.dialogs, scanner.refusedPorts());
    }
    return result;
}

} // namespace romwright
