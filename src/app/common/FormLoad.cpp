#include "app/common/FormLoad.h"

#include "app/common/MainState.h"
#include "app/common/PortPermissionNotice.h"
#include "platform/DeviceAccess.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "scanner/ChooserAnswer.h"
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

namespace {

struct RecordChoice {
    std::optional<UnfinishedUpdate> record; // the one the user chose to finish
    int port = 0;                           // the number its device has now
    bool stop = false;
};

// The record the user chose to finish and the port it is finished on;
// no record to start up as asked. Damaged records are set aside first; a
// record that cannot be finished now is said in one line, kept for its
// scanner, and the next one is tried.
RecordChoice chooseRecord(const StartUpRequest &request, MainState &state)
{
    RecordChoice choice;
    if (!request.offerToFinish || (request.comP && request.scannMod))
        return choice;
    const UnfinishedUpdates stored(state.services().stateFolder);
    for (const DamagedRecord &damaged : stored.setAsideDamaged())
        if (request.recordDamaged)
            request.recordDamaged(damaged);
    const std::vector<UnfinishedUpdate> records = stored.all();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const UnfinishedUpdate &record = records[i];
        auto setAside = [&request, &record](const QString &text) {
            if (request.recordSetAside)
                request.recordSetAside(record, text);
        };
        if (const RecordedFile file = checkRecordedFile(record, state.services().files);
            file != RecordedFile::Same) {
            if (request.recordNotUsed)
                request.recordNotUsed(record, file);
            continue;
        }
        const int port = state.portForDevice(record.port, record.device);
        if (port == 0) {
            setAside(QString::fromLatin1(kRecordDeviceGone).arg(record.sentence(), record.device));
            continue;
        }
        switch (request.offerToFinish(record, int(records.size() - i - 1))) {
        case FinishAnswer::Finish:
            choice.record = record;
            choice.port = port;
            return choice;
        case FinishAnswer::Stop:
            choice.stop = true;
            return choice;
        case FinishAnswer::Search:
            return choice;
        }
    }
    return choice;
}

} // namespace

StartUpResult FormLoad(const StartUpRequest &asked, const StartUpContext &context)
{
    MainState &state = context.state;
    const MainServices &services = state.services();
    StartUpResult result;
    if (state.flags().bProgramming) {
        result.end = FormLoadEnd::EndProgram;
        return result;
    }

    // An interrupted update is finished as if its port, model and file had
    // been named: the scanner waits in its boot software and would not
    // answer a search.
    StartUpRequest request = asked;
    const RecordChoice chosen = chooseRecord(asked, state);
    result.finishing = chosen.record;
    if (chosen.stop) {
        result.end = FormLoadEnd::Unfinished;
        return result;
    }
    if (const std::optional<UnfinishedUpdate> &record = result.finishing) {
        request.comP = QString::number(chosen.port);
        request.scannMod = record->model;
        request.givenType = ScannerType(typeOfScannerForModel(record->model));
        if (request.firmwarePath.isEmpty() && request.firmwareName.isEmpty())
            request.firmwarePath = record->file;
        request.barCode = record->barCode;
        state.optProcessor_Click(record->barCode ? 1 : 0);
    }

    state.target().sLetterQ = QLatin1Char(letter::kGreeting64);
    state.target().sLetterA = QLatin1Char(letter::kGreeting128);
    context.cScann =
        std::make_unique<Scanner>(services.clock, state.detection(), state.flags(), context.scannerTimings);
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
    // A model given is held against what the scanner on that port says it
    // is, before a byte of the bootloader dialogue. One that does not answer
    // (it may wait in its boot software) is taken as named.
    const QString given = searching ? QString() : modelShownFor(*request.scannMod);
    if (!given.isEmpty() && port >= PortMap::kFirstPort && port <= PortMap::kLastPort) {
        const std::optional<FoundScanner> answered = scanner.identityOn(state.MSComm1(), qint16(port));
        if (answered && answered->name != given) {
            const QString text =
                QString::fromLatin1(kAnswersAsAnotherModel).arg(port).arg(answered->name, given);
            if (request.anotherModel && !request.anotherModel(text, given)) {
                if (request.stopAtFirstGap) {
                    result.end = FormLoadEnd::Declined;
                    return result;
                }
                showScannerModel(services.view, state.flags(), answered->name);
                result.typeOfScanner = answered->typeOfScanner;
            }
        }
    }
    // No scanner, and ports this user may not open: that is most likely why.
    const bool explainRefusal = searching && port < 1 && !scanner.refusedPorts().empty();
    // Or ports another program holds.
    const bool explainHeld = searching && port < 1 && !scanner.heldPorts().empty();
    if (searching) {
        if (request.searched)
            request.searched(scanner, found);
        if (port < 1 && request.stopAtFirstGap) {
            context.notice.show(services.dialogs, scanner.refusedPorts());
            // Ports this user may not open or another program holds are
            // the likelier reason, and said.
            if (request.noScannerFound && !explainRefusal && !explainHeld)
                request.noScannerFound();
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
            result.typeOfScanner, bTargetA, request.firmwareName,
            // A Wexmoor's Main is ticked unless BarCode was chosen: its files only.
            request.barCode.value_or(state.flags().bBarCodeProcessor));
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
    if (explainHeld)
        services.dialogs.message(portsInUseText(scanner.heldPorts()),
                                 QString::fromLatin1(kScannerNotFoundTitle), MessageIcon::Exclamation);
    if (searching && port < 1 && !explainRefusal && !explainHeld && request.noScannerFound)
        request.noScannerFound();
    return result;
}

} // namespace romwright
