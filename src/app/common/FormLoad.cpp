#include "app/common/FormLoad.h"

#include "app/common/MainState.h"
#include "app/common/PortPermissionNotice.h"
#include "family/BootLetters.h"
#include "image/FileOpen.h"
#include "platform/DeviceAccess.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/IdentityQuery.h"
#include "scanner/Scanner.h"
#include "scanner/ScannerModels.h"
#include "view/MainView.h"

#include <algorithm>
#include <map>

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

QStringList dataFolders(const MainServices &services)
{
    return QStringList{services.programFolder, services.userDataFolder} + services.systemDataFolders;
}

IdentityAnswer bootPromptAnswer(char letter)
{
    IdentityAnswer answer;
    answer.kind = IdentityAnswer::Kind::BootPrompt;
    answer.raw = QByteArray(1, letter);
    return answer;
}

enum class FirmwareAtHand { Sound, None, Unsound };

// Whether every file the search would take, whichever boot software greets,
// is sound with its loaders (and one is there at all); the first unsound one
// is loaded, so that what is wrong with it is said.
FirmwareAtHand firmwareAtHand(MainState &state, const std::vector<FirmwareCandidate> &candidates)
{
    bool found = false;
    for (const FirmwareCandidate &candidate : candidates) {
        if (candidate.path.isEmpty())
            continue;
        if (!candidate.sound) {
            state.inputs().setFirmwareCaption(fileNameOf(candidate.path));
            state.FileOpen(candidate.path);
            return FirmwareAtHand::Unsound;
        }
        found = true;
    }
    return found ? FirmwareAtHand::Sound : FirmwareAtHand::None;
}

// The boot software a scanner that already waits in it has named by its
// prompt; nullopt when it runs its firmware, or nothing is known.
std::optional<bool> bootSoftwareWaitingIn(MainState &state, int port)
{
    if (port < PortMap::kFirstPort || port > PortMap::kLastPort)
        return std::nullopt;
    const IdentityAnswer &known = state.identityOn(port);
    if (known.kind != IdentityAnswer::Kind::BootPrompt)
        return std::nullopt;
    return known.raw.endsWith(letter::kGreeting128);
}

struct RecordChoice {
    std::optional<UnfinishedUpdate> record; // the one the user chose to finish
    int port = 0;                           // the number its device has now
    IdentityAnswer answer;                  // what the scanner on that port answered
    bool stop = false;
};

struct FittingRecord {
    UnfinishedUpdate record;
    int port = 0;
};

// The records that fit the scanners on their ports now, newest first. Damaged
// records are set aside first; a record that cannot be finished now is said
// in one line and kept for its scanner: so is a record whose port answers as
// another model, or unclearly. Each port is asked once.
std::vector<FittingRecord> fittingRecords(const StartUpRequest &request, MainState &state,
                                          std::map<int, IdentityAnswer> &answers)
{
    const UnfinishedUpdates stored(state.services().stateFolder);
    for (const DamagedRecord &damaged : stored.setAsideDamaged())
        if (request.recordDamaged)
            request.recordDamaged(damaged);
    ScannerModels models;
    addStandardModels(models);
    std::vector<FittingRecord> fitting;
    for (const UnfinishedUpdate &record : stored.all()) {
        // A model named chooses among the records.
        if (!request.recordModel.isEmpty() &&
            typeOfScannerForModel(record.model) != typeOfScannerForModel(request.recordModel))
            continue;
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
        if (!answers.count(port))
            answers[port] = askIdentity(state.MSComm1(), port, state.services().clock, models);
        if (const ModelDecision decision = decideModel(answers[port], record.model, port);
            decision.kind == ModelDecision::Kind::Contradiction ||
            decision.kind == ModelDecision::Kind::Refused) {
            setAside(QString::fromLatin1(kRecordSetAside).arg(record.sentence(), decision.text));
            continue;
        }
        fitting.push_back({record, port});
    }
    return fitting;
}

// The record the user chose to finish and the port it is finished on; no
// record to start up as asked. The records fitting one port are offered
// together: one alone is offered as it is, several are put to the user to
// choose between.
RecordChoice chooseRecord(const StartUpRequest &request, MainState &state)
{
    RecordChoice choice;
    if (!request.offerToFinish || (request.comP && request.scannMod))
        return choice;
    std::map<int, IdentityAnswer> answers;
    const std::vector<FittingRecord> fitting = fittingRecords(request, state, answers);
    std::vector<int> offered;
    for (std::size_t i = 0; i < fitting.size(); ++i) {
        const int port = fitting[i].port;
        if (std::find(offered.begin(), offered.end(), port) != offered.end())
            continue;
        offered.push_back(port);
        std::vector<UnfinishedUpdate> rivals;
        for (const FittingRecord &f : fitting)
            if (f.port == port)
                rivals.push_back(f.record);
        const int othersLeft = int(std::count_if(fitting.begin() + qsizetype(i), fitting.end(),
                                                 [port](const FittingRecord &f) { return f.port != port; }));
        std::size_t chosen = 0;
        const FinishAnswer answer = rivals.size() == 1 || !request.chooseAmongRecords
                                        ? request.offerToFinish(rivals.front(), othersLeft)
                                        : request.chooseAmongRecords(rivals, chosen);
        switch (answer) {
        case FinishAnswer::Finish:
            choice.record = rivals.at(std::min(chosen, rivals.size() - 1));
            choice.port = port;
            choice.answer = answers[port];
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
    std::optional<IdentityAnswer> recordAnswer;
    if (chosen.record)
        recordAnswer = chosen.answer;
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
    context.cScann = std::make_unique<Scanner>(services.clock, state.detection(), state.flags().bProgramming,
                                               context.scannerTimings);
    Scanner &scanner = *context.cScann;

    const bool searching = !request.comP || !request.scannMod;
    const FindScannerResult found = searching
                                        ? FindScanner(scanner, state.MSComm1(), services.view, state.inputs())
                                        : FindScanner(scanner, state.MSComm1(), services.view, state.inputs(),
                                                      request.comP, request.scannMod);
    if (found.status == FindStatus::EndProgram) {
        result.end = FormLoadEnd::EndProgram;
        return result;
    }
    // A port number that is not one leaves no port; the model label is set.
    const int port = found.status == FindStatus::BadPortNumber ? 0 : found.port;
    result.typeOfScanner = searching ? scanner.TypeOfScanner() : request.givenType;
    const bool portInRange = port >= PortMap::kFirstPort && port <= PortMap::kLastPort;

    // The gate, before anything restarts the scanner. What the scanner says
    // it is decides the model: detection heard it, and a port given is asked
    // now, with the whole time the scanner may take to answer.
    bool mayRestart = true;
    bool askOnceOpen = false; // the port was not there when asked
    state.forgetIdentity();
    if (searching && portInRange) {
        for (const FoundScanner &f : scanner.foundScanners())
            if (f.port == port)
                state.knowIdentity(port,
                                   f.bootPrompt ? bootPromptAnswer(f.bootPrompt) : identityOfModel(f.name));
    } else if (portInRange) {
        const IdentityAnswer answer =
            recordAnswer ? *recordAnswer
                         : askIdentity(state.MSComm1(), port, services.clock, scanner.models());
        state.knowIdentity(port, answer);
        const QString given = state.inputs().model();
        switch (state.decideModel(false, port)) {
        case MainState::ModelAnswer::Refused:
            if (request.stopAtFirstGap) {
                result.end = FormLoadEnd::Declined;
                return result;
            }
            // An answer that names no model leaves nothing to restart the scanner for.
            mayRestart = familyNamed(state.inputs().model()) != nullptr;
            break;
        case MainState::ModelAnswer::NoPort:
            // Nothing can restart a scanner there; opening the port says why,
            // after the file has been judged. A port there by then is asked first.
            askOnceOpen = true;
            break;
        case MainState::ModelAnswer::Unclear:
            if (request.stopAtFirstGap) {
                result.end = FormLoadEnd::Declined;
                return result;
            }
            mayRestart = false;
            break;
        case MainState::ModelAnswer::Known:
        case MainState::ModelAnswer::Closed:
        case MainState::ModelAnswer::Exit:
            break;
        }
        const QString decided = state.inputs().model();
        if (decided != given && familyNamed(decided))
            result.typeOfScanner = typeOfScannerForModel(decided);
    }
    // No scanner, and ports this user may not open: that is most likely why.
    const bool explainRefusal = searching && port < 1 && !scanner.refusedPorts().empty();
    // Or ports another program holds.
    const bool explainHeld = searching && port < 1 && !scanner.heldPorts().empty();
    if (searching) {
        // A port that answered unclearly is no scanner found: said as it came.
        for (const auto &[unclear, bytes] : scanner.unclearPorts())
            services.dialogs.message(
                QString::fromLatin1(kAnswersUnknown).arg(QString::number(unclear), shownAnswer(bytes)) +
                    QString::fromLatin1(kNothingChanged),
                QString::fromLatin1(kScannerNotFoundTitle), MessageIcon::Exclamation);
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
    // A file named is read and judged whole before the scanner is touched:
    // sound, loaders there, for this scanner and processor.
    QString named = request.firmwarePath;
    if (named.isEmpty() && !request.firmwareName.trimmed().isEmpty()) {
        const FirmwareChoice chosen = discoverFirmware(services.files, dataFolders(services), kNotDetected,
                                                       false, request.firmwareName);
        if (!chosen.sFirmFile.isEmpty())
            named = joinPath(chosen.folder, chosen.sFirmFile);
    }
    if (!named.isEmpty()) {
        state.inputs().setFirmwareCaption(fileNameOf(named));
        state.FileOpen(named);
        if (request.firmwarePath.isEmpty())
            result.sFirmFile = fileNameOf(named);
        if (!state.passGate(std::nullopt)) {
            if (request.stopAtFirstGap) {
                result.end = FormLoadEnd::Declined;
                return result;
            }
            mayRestart = false;
        }
    } else if (familyOfType(result.typeOfScanner) && port >= 1) {
        // Without a file named, each one the search could take once the boot
        // software greets must be sound, and one must be there. A missing one
        // is found out after the greeting, as it would be without this look.
        // The window, with none at all, still learns the boot software for a
        // file the user chooses.
        const FileOpenContext files{services.files, services.programFolder, services.userDataFolder,
                                    services.systemDataFolders};
        result.candidates = firmwareCandidatesAtHand(files, result.typeOfScanner,
                                                     request.barCode.value_or(state.inputs().barCode()),
                                                     bootSoftwareWaitingIn(state, port));
        switch (firmwareAtHand(state, result.candidates)) {
        case FirmwareAtHand::Sound:
            break;
        case FirmwareAtHand::None:
            if (request.stopAtFirstGap) {
                result.end = FormLoadEnd::NoFirmware;
                return result;
            }
            break;
        case FirmwareAtHand::Unsound:
            if (request.stopAtFirstGap) {
                result.end = FormLoadEnd::Declined;
                return result;
            }
            mayRestart = false;
            break;
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

    // Not now: PROGRAM identifies the boot software once a file passes.
    if (askOnceOpen && state.MSComm1().portOpen() &&
        state.decideModel(false, port) != MainState::ModelAnswer::Known) {
        if (request.stopAtFirstGap) {
            result.end = FormLoadEnd::Declined;
            return result;
        }
        mayRestart = false;
    }
    state.deferIdentification(!mayRestart);
    if (!mayRestart)
        return result;
    result.identified = state.IdentifyTarget();
    if (endsProgram(result.identified)) {
        result.end = FormLoadEnd::EndProgram;
        return result;
    }

    const bool bTargetA = state.target().bTargetA;
    if (named.isEmpty()) {
        const FirmwareChoice chosen = discoverFirmware(
            services.files, dataFolders(services), result.typeOfScanner, bTargetA, request.firmwareName,
            // A Wexmoor's Main is ticked unless BarCode was chosen: its files only.
            request.barCode.value_or(state.inputs().barCode()));
        result.sFirmFile = chosen.sFirmFile;
        if (chosen.sFirmFile.isEmpty() && request.stopAtFirstGap) {
            result.end = FormLoadEnd::NoFirmware;
            return result;
        }
        if (!chosen.sFirmFile.isEmpty() && request.firmwareFound)
            request.firmwareFound(chosen.sFirmFile);
        loadDiscoveredFirmware(services.files, chosen, services.view, state.inputs(),
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
