#include "app/startup/FormLoad.h"

#include "app/startup/MainState.h"
#include "app/startup/PortPermissionNotice.h"
#include "family/BootLetters.h"
#include "image/FileOpen.h"
#include "platform/DeviceAccess.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "scanner/IdentityQuery.h"
#include "scanner/Scanner.h"
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
            state.inputs().setFile(candidate.path);
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
    const IdentityAnswer &known = state.gate().identityOn(port);
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
                                          StartUpFrontEnd &frontEnd, std::map<int, IdentityAnswer> &answers)
{
    const UnfinishedUpdates stored(state.services().stateFolder);
    for (const DamagedRecord &damaged : stored.setAsideDamaged())
        frontEnd.recordDamaged(damaged);
    std::vector<FittingRecord> fitting;
    for (const UnfinishedUpdate &record : stored.all()) {
        // A model named chooses among the records.
        if (!request.recordModel.isEmpty() &&
            typeOfScannerForModel(record.model) != typeOfScannerForModel(request.recordModel))
            continue;
        auto setAside = [&frontEnd, &record](const QString &text) { frontEnd.recordSetAside(record, text); };
        if (const RecordedFile file = checkRecordedFile(record, state.services().files);
            file != RecordedFile::Same) {
            frontEnd.recordNotUsed(record, file);
            continue;
        }
        const int port = state.portForDevice(record.port, record.device);
        if (port == 0) {
            setAside(QString::fromLatin1(kRecordDeviceGone).arg(record.sentence(), record.device));
            continue;
        }
        if (!answers.count(port))
            answers[port] = state.gate().ask(port);
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
RecordChoice chooseRecord(const StartUpRequest &request, MainState &state, StartUpFrontEnd &frontEnd)
{
    RecordChoice choice;
    if (!request.offerRecords || (request.comP && request.scannMod))
        return choice;
    std::map<int, IdentityAnswer> answers;
    const std::vector<FittingRecord> fitting = fittingRecords(request, state, frontEnd, answers);
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
        const StartUpFrontEnd::RecordPick pick =
            rivals.size() == 1
                ? StartUpFrontEnd::RecordPick{frontEnd.offerToFinish(rivals.front(), othersLeft), 0}
                : frontEnd.chooseAmongRecords(rivals, othersLeft);
        switch (pick.answer) {
        case FinishAnswer::Finish:
            choice.record = rivals.at(std::min(pick.chosen, rivals.size() - 1));
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

// Start-up's steps over what they find out in turn. Each step returns false
// when start-up ends with it; the result then says how.
class StartUpSteps {
public:
    StartUpSteps(const StartUpRequest &request, const StartUpContext &context, StartUpFrontEnd &frontEnd)
        : m_request(request), m_context(context), m_state(context.state), m_services(m_state.services()),
          m_frontEnd(frontEnd)
    {
    }

    // The steps in their order; each returns false when start-up ends with it.
    bool offerRecord();
    bool findPort();
    bool gate();
    bool identify();
    bool discoverFile();

    StartUpResult &result() { return m_result; }

private:
    bool takeModel(GateVerdict verdict, const QString &given);
    bool reportSearch();
    bool judgeNamedFile();
    bool judgeFilesAtHand();
    bool openPort();
    void explainNotFound();

    bool end(FormLoadEnd end)
    {
        m_result.end = end;
        return false;
    }
    // A gap the console stops at; the window goes on, and leaves the
    // identification to PROGRAM.
    bool refuse()
    {
        if (m_request.stopAtFirstGap)
            return end(FormLoadEnd::Declined);
        m_mayRestart = false;
        return true;
    }
    bool portInRange() const { return m_port >= PortMap::kFirstPort && m_port <= PortMap::kLastPort; }
    std::vector<int> recordPorts() const { return UnfinishedUpdates(m_services.stateFolder).ports(); }

    StartUpRequest m_request; // as asked, or as the record being finished names it
    const StartUpContext &m_context;
    MainState &m_state;
    const MainServices &m_services;
    StartUpFrontEnd &m_frontEnd;
    StartUpResult m_result;
    std::optional<IdentityAnswer> m_recordAnswer; // what the record's port answered
    bool m_searching = false;
    int m_foundPort = -1; // as the search said it
    int m_port = 0;       // the port start-up goes on with, 0 for none
    bool m_mayRestart = true;
    bool m_askOnceOpen = false; // the port was not there when asked
    bool m_explainRefusal = false;
    bool m_explainHeld = false;
    QString m_named; // the file named and loaded, "" for none
};

bool StartUpSteps::offerRecord()
{
    if (m_state.flags().bProgramming)
        return end(FormLoadEnd::EndProgram);
    // An interrupted update is finished as if its port, model and file had
    // been named: the scanner waits in its boot software and would not
    // answer a search.
    const RecordChoice chosen = chooseRecord(m_request, m_state, m_frontEnd);
    m_result.finishing = chosen.record;
    if (chosen.stop)
        return end(FormLoadEnd::Unfinished);
    if (!chosen.record)
        return true;
    const UnfinishedUpdate &record = *chosen.record;
    m_recordAnswer = chosen.answer;
    m_request.comP = QString::number(chosen.port);
    m_request.scannMod = record.model;
    m_request.givenType = ScannerType(typeOfScannerForModel(record.model));
    if (m_request.firmwarePath.isEmpty() && m_request.firmwareName.isEmpty())
        m_request.firmwarePath = record.file;
    m_request.barCode = record.barCode;
    m_state.optProcessor_Click(record.barCode ? 1 : 0);
    // --force is the user's word on what was named, not on what a record holds;
    // nor does it override the scanner's answer.
    m_state.gate().setForceFirmware(false);
    return true;
}

bool StartUpSteps::findPort()
{
    m_context.cScann = std::make_unique<Scanner>(m_services.clock, m_state.detection(),
                                                 m_state.flags().bProgramming, m_context.scannerTimings);
    Scanner &scanner = *m_context.cScann;
    m_searching = !m_request.comP || !m_request.scannMod;
    const FindScannerResult found =
        m_searching ? FindScanner(scanner, m_state.MSComm1(), m_services.view, m_state.inputs())
                    : FindScanner(scanner, m_state.MSComm1(), m_services.view, m_state.inputs(),
                                  m_request.comP, m_request.scannMod);
    if (found.status == FindStatus::EndProgram)
        return end(FormLoadEnd::EndProgram);
    m_foundPort = found.port;
    // A port number that is not one leaves no port; the model label is set.
    m_port = found.status == FindStatus::BadPortNumber ? 0 : found.port;
    m_result.port = std::max(m_port, 0);
    m_result.typeOfScanner = m_searching ? scanner.TypeOfScanner() : m_request.givenType;
    return true;
}

// The gate, before anything restarts the scanner. What the scanner says it
// is decides the model: detection heard it, and a port given is asked now,
// with the whole time the scanner may take to answer. Then the file.
bool StartUpSteps::gate()
{
    ScannerGate &gate = m_state.gate();
    gate.forgetIdentity();
    const Scanner &scanner = *m_context.cScann;
    if (m_searching && portInRange()) {
        for (const FoundScanner &f : scanner.foundScanners())
            if (f.port == m_port)
                gate.knowIdentity(m_port,
                                  f.bootPrompt ? bootPromptAnswer(f.bootPrompt) : identityOfModel(f.name));
    } else if (portInRange()) {
        if (m_recordAnswer)
            gate.knowIdentity(m_port, *m_recordAnswer);
        const QString given = m_state.inputs().model();
        if (!takeModel(gate.gate(m_port, GateMoment::StartUp), given))
            return false;
    }
    // No scanner, and ports this user may not open: that is most likely why.
    m_explainRefusal = m_searching && m_port < 1 && !scanner.refusedPorts().empty();
    // Or ports another program holds.
    m_explainHeld = m_searching && m_port < 1 && !scanner.heldPorts().empty();
    if (m_searching && !reportSearch())
        return false;
    // A file named is read and judged whole before the scanner is touched:
    // sound, loaders there, for this scanner and processor.
    m_named = m_request.firmwarePath;
    if (m_named.isEmpty() && !m_request.firmwareName.trimmed().isEmpty()) {
        const FirmwareChoice chosen = discoverFirmware(m_services.files, dataFolders(m_services),
                                                       kNotDetected, false, m_request.firmwareName);
        if (!chosen.sFirmFile.isEmpty())
            m_named = joinPath(chosen.folder, chosen.sFirmFile);
    }
    if (!m_named.isEmpty())
        return judgeNamedFile();
    return !familyOfType(m_result.typeOfScanner) || m_port < 1 || judgeFilesAtHand();
}

// What the gate's verdict on the port given leaves start-up with; given is
// the model shown before the scanner was asked.
bool StartUpSteps::takeModel(GateVerdict verdict, const QString &given)
{
    switch (verdict) {
    case GateVerdict::Refused:
        if (m_request.stopAtFirstGap)
            return end(FormLoadEnd::Declined);
        // An answer that names no model leaves nothing to restart the scanner for.
        m_mayRestart = familyNamed(m_state.inputs().model()) != nullptr;
        break;
    case GateVerdict::NoPort:
        // Nothing can restart a scanner there; opening the port says why,
        // after the file has been judged. A port there by then is asked first.
        m_askOnceOpen = true;
        break;
    case GateVerdict::Unclear:
        if (!refuse())
            return false;
        break;
    case GateVerdict::Pass:
    case GateVerdict::Closed:
    case GateVerdict::Exit:
        break;
    }
    const QString decided = m_state.inputs().model();
    if (decided != given && familyNamed(decided))
        m_result.typeOfScanner = typeOfScannerForModel(decided);
    return true;
}

bool StartUpSteps::reportSearch()
{
    const Scanner &scanner = *m_context.cScann;
    // A port that answered unclearly is no scanner found: said as it came.
    for (const auto &[unclear, bytes] : scanner.unclearPorts())
        m_services.dialogs.message(
            QString::fromLatin1(kAnswersUnknown).arg(portName(unclear), shownAnswer(bytes)) +
                QString::fromLatin1(kNothingChanged),
            QString::fromLatin1(kScannerNotFoundTitle), MessageIcon::Exclamation);
    m_frontEnd.searched({m_foundPort, scanner.Name(), scanner.heldPorts()});
    if (m_port >= 1 || !m_request.stopAtFirstGap)
        return true;
    m_context.notice.show(m_services.dialogs, scanner.refusedPorts());
    // Ports this user may not open or another program holds are the
    // likelier reason, and said.
    if (!m_explainRefusal && !m_explainHeld)
        m_frontEnd.noScannerFound(recordPorts());
    return end(FormLoadEnd::NoScanner);
}

bool StartUpSteps::judgeNamedFile()
{
    m_state.inputs().setFile(m_named);
    m_state.FileOpen(m_named);
    if (m_request.firmwarePath.isEmpty())
        m_result.sFirmFile = fileNameOf(m_named);
    return m_state.gate().gate(m_port, GateMoment::File) == GateVerdict::Pass || refuse();
}

// Without a file named, each one the search could take once the boot
// software greets must be sound, and one must be there. A missing one is
// found out after the greeting, as it would be without this look. The
// window, with none at all, still learns the boot software for a file the
// user chooses.
bool StartUpSteps::judgeFilesAtHand()
{
    const FileOpenContext files{m_services.files, m_services.programFolder, m_services.userDataFolder,
                                m_services.systemDataFolders};
    m_result.candidates = firmwareCandidatesAtHand(files, m_result.typeOfScanner,
                                                   m_request.barCode.value_or(m_state.inputs().barCode()),
                                                   bootSoftwareWaitingIn(m_state, m_port));
    switch (firmwareAtHand(m_state, m_result.candidates)) {
    case FirmwareAtHand::Sound:
        break;
    case FirmwareAtHand::None:
        if (m_request.stopAtFirstGap)
            return end(FormLoadEnd::NoFirmware);
        break;
    case FirmwareAtHand::Unsound:
        return refuse();
    }
    return true;
}

bool StartUpSteps::identify()
{
    m_frontEnd.openingPort(m_result.typeOfScanner);
    m_state.startTimers();
    if (!openPort())
        return false;
    // Not now: PROGRAM identifies the boot software once a file passes.
    if (m_askOnceOpen && m_state.MSComm1().portOpen() &&
        m_state.gate().gate(m_port, GateMoment::StartUp) != GateVerdict::Pass && !refuse())
        return false;
    m_state.deferIdentification(!m_mayRestart);
    if (!m_mayRestart)
        return false;
    m_result.identified = m_state.IdentifyTarget();
    if (endsProgram(m_result.identified))
        return end(FormLoadEnd::EndProgram);
    return true;
}

bool StartUpSteps::openPort()
{
    // A number given goes to the port whatever it is, so that one without a
    // port (0, 17, "x") is refused there with a red lamp; it never stands
    // for another port.
    const bool portGiven = m_request.comP && !m_request.comP->trimmed().isEmpty();
    if ((m_port > 0 || portGiven) &&
        openPortExplained(m_state, m_context.notice, m_port) == PortOpening::RefusedToUser &&
        m_request.stopAtFirstGap)
        return end(FormLoadEnd::PortRefused);
    return true;
}

bool StartUpSteps::discoverFile()
{
    if (m_named.isEmpty()) {
        const FirmwareChoice chosen =
            discoverFirmware(m_services.files, dataFolders(m_services), m_result.typeOfScanner,
                             m_state.target().bTargetA, m_request.firmwareName,
                             // A Wexmoor's Main is ticked unless BarCode was chosen: its files only.
                             m_request.barCode.value_or(m_state.inputs().barCode()));
        m_result.sFirmFile = chosen.sFirmFile;
        if (chosen.sFirmFile.isEmpty() && m_request.stopAtFirstGap)
            return end(FormLoadEnd::NoFirmware);
        if (!chosen.sFirmFile.isEmpty())
            m_frontEnd.firmwareFound(chosen.sFirmFile);
        MainState &state = m_state;
        loadDiscoveredFirmware(m_services.files, chosen, m_services.view, state.inputs(),
                               [&state](const QString &path) { state.FileOpen(path); });
    }
    explainNotFound();
    return true;
}

void StartUpSteps::explainNotFound()
{
    const Scanner &scanner = *m_context.cScann;
    if (m_explainRefusal) {
        m_services.view.setLamp(LampId::ComStatus, Lamp::Red);
        m_context.notice.show(m_services.dialogs, scanner.refusedPorts());
    }
    if (m_explainHeld)
        m_services.dialogs.message(portsInUseText(scanner.heldPorts()),
                                   QString::fromLatin1(kScannerNotFoundTitle), MessageIcon::Exclamation);
    if (m_searching && m_port < 1 && !m_explainRefusal && !m_explainHeld)
        m_frontEnd.noScannerFound(recordPorts());
}

} // namespace

StartUpResult FormLoad(const StartUpRequest &request, const StartUpContext &context,
                       StartUpFrontEnd &frontEnd)
{
    using Step = bool (StartUpSteps::*)();
    static constexpr std::pair<StartUpStep, Step> kSteps[] = {
        {StartUpStep::OfferRecord, &StartUpSteps::offerRecord},
        {StartUpStep::FindPort, &StartUpSteps::findPort},
        {StartUpStep::Gate, &StartUpSteps::gate},
        {StartUpStep::Identify, &StartUpSteps::identify},
        {StartUpStep::DiscoverFile, &StartUpSteps::discoverFile},
    };
    StartUpSteps steps(request, context, frontEnd);
    for (const auto &[step, take] : kSteps) {
        if (!(steps.*take)())
            break;
        if (request.stopAfter == step) {
            steps.result().end = FormLoadEnd::Stopped;
            break;
        }
    }
    return steps.result();
}

} // namespace romwright
