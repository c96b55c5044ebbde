#include "app/startup/MainState.h"

#include "app/startup/FindScanner.h"
#include "app/update/FileMessages.h"
#include "app/update/FirmwareDiscovery.h"
#include "app/update/UnfinishedUpdate.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "scanner/Scanner.h"
#include "scanner/ScannerModel.h"
#include "scanner/ScannerModels.h"
#include "view/MainView.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <utility>

namespace romwright {

MainState::MainState(std::unique_ptr<SerialPort> MSComm1, const MainServices &services,
                     const FlashTimings &timings)
    : m_port(std::move(MSComm1)), m_services(services), m_firmware(std::make_unique<FirmwareSet>()),
      m_inputs(services.view), m_link(std::make_unique<BootloaderLink>(*m_port, services.clock, timings)),
      m_gate({*m_port, *m_link, services.clock, services.view, services.dialogs, m_inputs, *m_firmware}),
      m_controller(services.view, services.dialogs, m_inputs), m_detection(services.view, services.dialogs),
      m_recorder(
          services.stateFolder, services.clock, services.transcript,
          [this](char boot) { return describeUpdate(boot); }, [this] { return m_update->failure(); }),
      m_answers(*this), m_update(std::make_unique<UpdateSequence>(*m_link, m_answers, m_target))
{
    // The recorder first: what the update leaves in the state folder is
    // there before the controller's messages wait for the user.
    m_update->listen(m_recorder);
    m_update->listen(m_controller);
}

MainState::Answers::Answers(MainState &state)
    : UpdateAnswers(state.m_inputs, state.m_services.dialogs), m_state(state)
{
}

bool MainState::Answers::firmwareFits()
{
    MainState &state = m_state;
    return state.m_gate.gate(state.m_port->commPort(), GateMoment::File, state.m_target.bTargetA) ==
           GateVerdict::Pass;
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
    if (m_gate.portChosen(n) && m_firmware->FilesValid && !m_update->running())
        view.setControlEnabled(ControlId::ProgramButton, true);
    return true;
}

Outcome MainState::IdentifyTarget()
{
    const GreetingCounts counts =
        std::exchange(m_startUpIdentified, true) ? GreetingCounts::Own : GreetingCounts::Shared;
    const Outcome outcome = m_update->IdentifyTarget(m_inputs.barCode(), counts);
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
    m_gate.fileLoaded();
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
    m_gate.newClick();
    // Nothing of the window takes a click from here until the update locks
    // it itself, or the click ends without one.
    m_controller.lockClick();
    auto unlock = qScopeGuard([this] { m_controller.unlockClick(); });
    // Without an open port nothing is asked of any port: the update says so
    // before it sends a byte.
    if (m_firmware->FilesValid && m_port->portOpen()) {
        switch (m_gate.gate(m_port->commPort(), GateMoment::Program)) {
        case GateVerdict::Pass:
            break;
        case GateVerdict::Closed:
        case GateVerdict::Refused:
        case GateVerdict::Unclear:
        case GateVerdict::NoPort:
            return Outcome::Stopped;
        case GateVerdict::Exit:
            return Outcome::EndClosed;
        }
        // The identification start-up left out, or made of the other
        // processor (a Wexmoor's two may have different boot software), once
        // the file and the model pass: it restarts the scanner, which the gate
        // must allow first.
        const bool otherProcessor = m_identifiedProcessor && *m_identifiedProcessor != m_inputs.processor();
        if ((m_identificationDeferred || otherProcessor) && m_port->portOpen()) {
            if (m_gate.gate(m_port->commPort(), GateMoment::File) != GateVerdict::Pass)
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
    return m_update->cmdProgram_Click(*m_firmware);
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
    if (deviceOf(*m_port, port) != device)
        for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n)
            if (deviceOf(*m_port, n) == device && present(device))
                return n;
    // The same number under a new name (an adapter plugged in again) is the
    // scanner's still; a number without a device is no way to it.
    return present(deviceOf(*m_port, port)) ? port : 0;
}

bool MainState::scannerLeftInBootSoftware() const
{
    return m_link->greeted() && m_update->phase() == UpdatePhase::Unchanged;
}

void MainState::ExitCommand_Click()
{
    if (m_port->portOpen()) {
        m_port->output(QByteArray(1, letter::kLeave));
        m_port->setPortOpen(false);
    }
}

} // namespace romwright
