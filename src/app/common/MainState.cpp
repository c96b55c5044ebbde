#include "app/common/MainState.h"

#include "app/common/FileMessages.h"
#include "app/common/FirmwareDiscovery.h"
#include "app/common/UnfinishedUpdate.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/FindScanner.h"
#include "scanner/ScannerModel.h"
#include "view/MainView.h"

namespace romwright {

MainState::MainState(std::unique_ptr<SerialPort> MSComm1, const MainServices &services,
                     const FlashTimings &timings)
    : m_port(std::move(MSComm1)), m_services(services), m_firmware(std::make_unique<FirmwareSet>()),
      m_link(std::make_unique<BootloaderLink>(*m_port, services.clock, timings)),
      m_update(std::make_unique<UpdateSequence>(*m_link, services.view, services.dialogs, m_flags, m_target))
{
    m_update->firmwareCheck = [this] { return approveFirmware(); };
    m_update->beforeChange = [this](char boot) { recordUpdate(boot); };
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
    view.setText(LabelId::Port, QString::number(n));
    return true;
}

Outcome MainState::IdentifyTarget()
{
    const Outcome outcome = m_link->IdentifyTarget(m_target);
    if (endsProgram(outcome))
        m_update->announceEnd(outcome);
    return outcome;
}

FileOpenResult MainState::FileOpen(const QString &sFile)
{
    const FileOpenContext context{m_services.files, m_services.programFolder, m_services.userDataFolder,
                                  m_services.systemDataFolders};
    m_firmwareFile = sFile;
    ++m_loads;
    const FileOpenResult result = romwright::FileOpen(sFile, *m_firmware, context);
    // What the record of an update names, to tell later whether the file
    // is still the one that was being programmed.
    const FileContents contents = m_services.files.read(sFile);
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
    const ScannerAtHand scanner{typeOfScannerForModel(m_services.view.text(LabelId::ScanMod)), bTargetA,
                                m_flags.bBarCodeProcessor};
    return checkFirmware(
        m_firmwareFile,
        firmwareKind(m_firmwareFile, m_firmware->FirmwareFileData, m_firmware->FirmwareHeader), scanner);
}

bool MainState::approveFirmware()
{
    const FirmwareVerdict verdict = firmwareVerdict(m_target.bTargetA);
    const QString title = QString::fromLatin1(kFirmwareCheckTitle);
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
    if (index == 0)
        m_flags.bBarCodeProcessor = false;
    else if (index == 1)
        m_flags.bBarCodeProcessor = true;
}

Outcome MainState::cmdProgram_Click()
{
    m_approvedLoad = -1;
    if (!m_update->running() && m_firmware->FilesValid) {
        switch (askModelIfUnknown()) {
        case ModelAnswer::Known:
            break;
        case ModelAnswer::Closed:
            return Outcome::Stopped;
        case ModelAnswer::Exit:
            return Outcome::EndClosed;
        }
    }
    const Outcome outcome = m_update->cmdProgram_Click(*m_firmware);
    if (outcome == Outcome::EndCompleted)
        UnfinishedUpdates(m_services.stateFolder).remove(m_port->commPort());
    return outcome;
}

void MainState::recordUpdate(char boot)
{
    UnfinishedUpdate record;
    record.port = m_port->commPort();
    record.device = m_port->deviceName();
    record.model = m_services.view.text(LabelId::ScanMod);
    record.barCode = m_flags.bBarCodeProcessor;
    record.boot = boot;
    record.file = m_firmwareFile;
    record.size = m_firmwareSize;
    record.sha256 = m_firmwareSha256;
    record.started = QDateTime::currentDateTime();
    const UnfinishedUpdates records(m_services.stateFolder);
    if (!records.save(record) && recordNotWritten)
        recordNotWritten(records.pathFor(record.port));
}

int MainState::portForDevice(int port, const QString &device) const
{
    const std::unique_ptr<SerialPort> probe = m_port->sibling();
    auto deviceOf = [&probe](int n) {
        probe->setCommPort(n);
        return probe->deviceName();
    };
    if (device.isEmpty() || deviceOf(port) == device)
        return port;
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n)
        if (deviceOf(n) == device)
            return n;
    return port;
}

bool MainState::scannerLeftInBootSoftware() const
{
    return m_link->greeted() && m_update->phase() == UpdatePhase::Unchanged;
}

MainState::ModelAnswer MainState::askModelIfUnknown()
{
    // Nothing is checked against a scanner nobody named: ask which one it is.
    if (typeOfScannerForModel(m_services.view.text(LabelId::ScanMod)) != kNotDetected)
        return ModelAnswer::Known;
    const std::optional<QString> choice = m_services.dialogs.chooseScanner();
    if (!choice) {
        m_link->closePort(); // the chooser's Exit ends the program
        return ModelAnswer::Exit;
    }
    if (choice->isEmpty())
        return ModelAnswer::Closed;
    showScannerModel(m_services.view, m_flags, modelShownFor(*choice));
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
