#include "app/common/MainState.h"

#include "app/common/FileMessages.h"
#include "app/common/FindScanner.h"
#include "app/common/FirmwareDiscovery.h"
#include "app/common/UnfinishedUpdate.h"
#include "app/common/UpdateMessages.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/Scanner.h"
#include "scanner/ScannerModel.h"
#include "scanner/ScannerModels.h"
#include "view/MainView.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

namespace romwright {

MainState::MainState(std::unique_ptr<SerialPort> MSComm1, const MainServices &services,
                     const FlashTimings &timings)
    : m_port(std::move(MSComm1)), m_services(services), m_firmware(std::make_unique<FirmwareSet>()),
      m_inputs(services.view), m_link(std::make_unique<BootloaderLink>(*m_port, services.clock, timings)),
      m_controller(services.view, services.dialogs, m_inputs), m_detection(services.view, services.dialogs),
      m_recorder(services.stateFolder, services.clock, services.transcript,
                 [this](char boot) { return describeUpdate(boot); }),
      m_answers(*this), m_update(std::make_unique<UpdateSequence>(*m_link, m_answers, m_target))
{
    m_update->listen(m_controller);
    m_update->listen(m_recorder);
}

MainState::Answers::Answers(MainState &state)
    : UpdateAnswers(state.m_inputs, state.m_services.dialogs), m_state(state)
{
}

bool MainState::Answers::firmwareFits()
{
    return m_state.approveFirmware();
}

std::optional<QString> MainState::Answers::askIdentity()
{
    return m_state.askIdentity();
}

bool MainState::Answers::answersAsProgrammed(const QString &name)
{
    return name == m_state.m_inputs.model();
}

MainState::~MainState()
{
    m_link->closePort();
}

void MainState::startTimers()
{
    m_link->timers().start();
}

bool MainState::mnuCom_Click(int n)
{
    MainView &view = m_services.view;
    // OpenPort passes over a port that is missing or will not open; the lamp
    // is green only for a port that did.
    if (!m_link->OpenPort(n) || !m_port->portOpen()) {
        view.setLamp(LampId::ComStatus, Lamp::Red);
        return false;
    }
    view.setPortTicked(0);
    view.setPortTicked(n);
    view.setLamp(LampId::ComStatus, Lamp::Green);
    view.setFileMenuVisible(true);
    m_inputs.setPort(n);
    return true;
}

Outcome MainState::IdentifyTarget()
{
    const Outcome outcome = m_update->IdentifyTarget(m_inputs.barCode());
    m_identifiedProcessor = m_inputs.processor();
    if (endsProgram(outcome))
        m_update->announceEnd(outcome);
    return outcome;
}

FileOpenResult MainState::FileOpen(const QString &sFile)
{
    const FileOpenContext context{m_services.files, m_services.programFolder, m_services.userDataFolder,
                                  m_services.systemDataFolders};
    // Whole, so that the record and the log lead to it from any folder.
    const QString path = sFile.isEmpty() ? sFile : QFileInfo(sFile).absoluteFilePath();
    m_inputs.setFirmwarePath(path);
    ++m_loads;
    const FileOpenResult result = romwright::FileOpen(path, *m_firmware, context);
    // What the record of an update names, to tell later whether the file
    // is still the one that was being programmed.
    const FileContents contents = m_services.files.read(path);
    m_firmwareSize = contents.bytes.size();
    m_firmwareSha256 = sha256Hex(contents.bytes);
    showFileOpen(result, m_services.view, m_services.dialogs);
    // A file chosen while an update waits for its greeting is the one it
    // will program, but PROGRAM stays disabled until the update ends.
    if (m_update->running())
        m_services.view.setControlEnabled(ControlId::ProgramButton, false);
    return result;
}

FirmwareVerdict MainState::firmwareVerdict(std::optional<bool> bTargetA) const
{
    const ScannerAtHand scanner{typeOfScannerForModel(m_inputs.model()), bTargetA, m_inputs.barCode()};
    return checkFirmware(
        m_inputs.firmwarePath(),
        firmwareKind(m_inputs.firmwarePath(), m_firmware->FirmwareFileData, m_firmware->FirmwareHeader),
        scanner);
}

bool MainState::approveFirmware()
{
    return passGate(m_target.bTargetA);
}

bool MainState::passGate(std::optional<bool> bTargetA)
{
    const QString title = QString::fromLatin1(kFirmwareCheckTitle);
    const ScannerFamily *family = familyNamed(m_inputs.model());
    if (m_inputs.barCode() && family && !hasProcessors(*family)) {
        m_services.dialogs.message(QString::fromLatin1(kNoBarCodeProcessor).arg(latin1(family->shown)), title,
                                   MessageIcon::Exclamation);
        return false;
    }
    if (!m_firmware->FilesValid)
        return false; // FileOpen has said what is wrong with the files
    const FirmwareVerdict verdict = firmwareVerdict(bTargetA);
    if (judgeVerdict)
        return judgeVerdict(verdict);
    switch (verdict.kind) {
    case FirmwareVerdict::Kind::Fits:
        return true;
    case FirmwareVerdict::Kind::Refuse:
        m_services.dialogs.message(verdict.text, title, MessageIcon::Exclamation);
        return false;
    case FirmwareVerdict::Kind::Ask:
        break;
    }
    // Asked once a click: the second look before the route only asks about a
    // file loaded while the update waited for the greeting.
    if (m_forceFirmware || (m_approvedLoad == m_loads && m_approvedQuestion == verdict.text))
        return true;
    if (!m_services.dialogs.question(verdict.text + verdict.question, title, MessageIcon::Exclamation))
        return false;
    m_approvedLoad = m_loads;
    m_approvedQuestion = verdict.text;
    return true;
}

void MainState::optProcessor_Click(int index)
{
    if (index == 0 || index == 1)
        m_inputs.setBarCode(index == 1);
}

Outcome MainState::cmdProgram_Click()
{
    // A click while an update runs is the update's to ignore; this one's
    // account is not touched.
    if (m_update->running())
        return m_update->cmdProgram_Click(*m_firmware);
    m_approvedLoad = -1;
    // Nothing of the window takes a click from here until the update locks
    // it itself, or the click ends without one.
    m_controller.lockClick();
    auto unlock = qScopeGuard([this] { m_controller.unlockClick(); });
    // Without an open port nothing is asked of any port: the update says so
    // before it sends a byte.
    if (m_firmware->FilesValid && m_port->portOpen()) {
        switch (askModelIfUnknown()) {
        case ModelAnswer::Known:
            break;
        case ModelAnswer::Closed:
        case ModelAnswer::Refused:
        case ModelAnswer::Unclear:
        case ModelAnswer::NoPort:
            return Outcome::Stopped;
        case ModelAnswer::Exit:
            return Outcome::EndClosed;
        }
        // The identification start-up left out, or made of the other
        // processor (a Wexmoor's two may have different boot software), once
        // the file and the model pass: it restarts the scanner, which the gate
        // must allow first.
        const bool otherProcessor = m_identifiedProcessor && *m_identifiedProcessor != m_inputs.processor();
        if ((m_identificationDeferred || otherProcessor) && m_port->portOpen()) {
            if (!passGate(std::nullopt))
                return Outcome::Stopped;
            m_identificationDeferred = false;
            if (const Outcome identified = IdentifyTarget(); endsProgram(identified))
                return identified;
        }
    }
    // The update is for the processor chosen now; from here PROGRAM was
    // pressed. The update takes the window over locked.
    unlock.dismiss();
    m_update->setProcessor(m_inputs.processor());
    m_flags.bProgramming = true;
    const Outcome outcome = m_update->cmdProgram_Click(*m_firmware);
    m_recorder.log(outcome, m_update->failure(), describeUpdate(0));
    return outcome;
}

std::optional<QString> MainState::askIdentity()
{
    ScannerModels models;
    addStandardModels(models);
    // The firmware just written names its model, or nothing yet while it starts.
    const IdentityAnswer answer =
        romwright::askIdentity(*m_port, m_port->commPort(), m_services.clock, models);
    std::optional<QString> name;
    if (answer.kind == IdentityAnswer::Kind::Model)
        name = answer.model;
    else if (answer.kind == IdentityAnswer::Kind::Unknown)
        name = QLatin1Char('"') + shownAnswer(answer.raw) + QLatin1Char('"');
    return name;
}

UnfinishedUpdate MainState::describeUpdate(char boot) const
{
    UnfinishedUpdate record;
    record.port = m_port->commPort();
    record.device = m_port->deviceName();
    record.model = m_inputs.model();
    record.barCode = m_inputs.barCode();
    record.boot = boot;
    record.file = m_inputs.firmwarePath();
    if (!record.file.isEmpty()) { // else chosen by the search once the boot software greets
        record.size = m_firmwareSize;
        record.sha256 = m_firmwareSha256;
    }
    record.started = QDateTime::currentDateTime();
    return record;
}

int MainState::portForDevice(int port, const QString &device) const
{
    // A device path that is gone (an adapter unplugged) leads nowhere.
    auto present = [](const QString &name) {
        return !name.isEmpty() && (!QDir::isAbsolutePath(name) || QFileInfo::exists(name));
    };
    if (device.isEmpty())
        return port;
    if (deviceOf(port) != device)
        for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n)
            if (deviceOf(n) == device && present(device))
                return n;
    // The same number under a new name (an adapter plugged in again) is the
    // scanner's still; a number without a device is no way to it.
    return present(deviceOf(port)) ? port : 0;
}

bool MainState::scannerLeftInBootSoftware() const
{
    return m_link->greeted() && m_update->phase() == UpdatePhase::Unchanged;
}

QString MainState::deviceOf(int n) const
{
    const std::unique_ptr<SerialPort> probe = m_port->sibling();
    probe->setCommPort(n);
    return probe->deviceName();
}

void MainState::knowIdentity(int n, const IdentityAnswer &answer)
{
    m_identity = KnownIdentity{n, deviceOf(n), answer};
}

const IdentityAnswer &MainState::identityOn(int n)
{
    const QString device = deviceOf(n);
    if (m_identity && m_identity->port == n && m_identity->device == device && !m_identity->askAgain)
        return m_identity->answer;
    IdentityAnswer answer; // a port number without a port: nothing to ask
    answer.kind = IdentityAnswer::Kind::NoPort;
    answer.portError = describe(CommError::NoSuchPort);
    if (n >= PortMap::kFirstPort && n <= PortMap::kLastPort) {
        // The question goes out on a port of its own: the bootloader's is
        // closed meanwhile and opened again as it was.
        const bool reopen = m_port->portOpen();
        const int open = m_port->commPort();
        if (reopen)
            m_link->closePort();
        ScannerModels models;
        addStandardModels(models);
        answer = romwright::askIdentity(*m_port, n, m_services.clock, models);
        if (reopen)
            m_link->OpenPort(open);
    }
    m_identity = KnownIdentity{n, device, answer};
    return m_identity->answer;
}

MainState::ModelAnswer MainState::decideModel(bool choose)
{
    return decideModel(choose, m_port->commPort());
}

MainState::ModelAnswer MainState::decideModel(bool choose, int port)
{
    // A name as the chooser or --model takes it, else as the rest of the
    // program reads the model shown: by its first letter.
    const QString shown = m_inputs.model();
    const ScannerFamily *family = familyShownAs(shown);
    QString claimed = modelShownFor(shown);
    if (claimed.isEmpty() && family)
        claimed = latin1(family->shown);
    const ModelDecision decision = romwright::decideModel(identityOn(port), claimed, port);
    switch (decision.kind) {
    case ModelDecision::Kind::Go:
        if (decision.model != shown)
            m_inputs.showModel(decision.model);
        return ModelAnswer::Known;
    case ModelDecision::Kind::Refused:
        // No Yes and no --force for a port that could not be read; asked
        // afresh next time, when whatever held or troubled the line may be gone.
        m_identity->askAgain = true;
        if (m_identity->answer.portAbsent()) {
            // Said where the port is opened, or here when PROGRAM asks.
            if (choose) {
                m_services.view.setLamp(LampId::ComStatus, Lamp::Red);
                m_services.dialogs.message(QString::fromLatin1(messages::kPortFailure),
                                           QString::fromLatin1(messages::kCommunicationsFailureTitle),
                                           MessageIcon::Exclamation);
            }
            return ModelAnswer::NoPort;
        }
        if (contradiction)
            contradiction(decision, claimed);
        else
            m_services.dialogs.message(decision.text, QString::fromLatin1(kFirmwareCheckTitle),
                                       MessageIcon::Exclamation);
        return ModelAnswer::Unclear;
    case ModelDecision::Kind::Contradiction:
        // Asked once: a Yes at start-up holds for PROGRAM on the same port.
        if (!m_forceFirmware && m_acceptedContradiction != decision.text &&
            !(contradiction && contradiction(decision, claimed))) {
            if (!decision.model.isEmpty())
                m_inputs.showModel(decision.model);
            return ModelAnswer::Refused;
        }
        m_acceptedContradiction = decision.text;
        if (!claimed.isEmpty())
            return ModelAnswer::Known;
        break;
    case ModelDecision::Kind::Choose:
        break;
    }
    if (!choose)
        return ModelAnswer::Known;
    const std::optional<QString> choice = m_services.dialogs.chooseScanner();
    if (!choice) {
        m_link->closePort(); // the chooser's Exit ends the program
        return ModelAnswer::Exit;
    }
    if (choice->isEmpty())
        return ModelAnswer::Closed;
    m_inputs.showModel(modelShownFor(*choice));
    return ModelAnswer::Known;
}

void MainState::ExitCommand_Click()
{
    if (m_port->portOpen()) {
        m_port->output(QByteArray(1, letter::kLeave));
        m_port->setPortOpen(false);
    }
}

} // namespace romwright
