#include "app/shell/MainState.h"

#include "platform/MainView.h"

namespace romwright {

MainState::MainState(std::unique_ptr<SerialPort> MSComm1, const MainServices &services,
                     const FlashTimings &timings)
    : m_port(std::move(MSComm1)), m_services(services), m_firmware(std::make_unique<FirmwareSet>()),
      m_link(std::make_unique<BootloaderLink>(*m_port, services.view, services.dialogs, services.sleeper,
                                              timings)),
      m_update(std::make_unique<UpdateSequence>(*m_link, services.view, services.dialogs, m_flags, m_target))
{
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
    if (!m_link->OpenPort(n)) {
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
    return m_link->IdentifyTarget(m_target);
}

FileOpenResult MainState::FileOpen(const QString &sFile)
{
    const FileOpenContext context{m_services.files, m_services.view, m_services.dialogs,
                                  m_services.programFolder, m_services.userDataFolder};
    return romwright::FileOpen(sFile, m_target.bTargetA, *m_firmware, context);
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
    return m_update->cmdProgram_Click(*m_firmware);
}

void MainState::ExitCommand_Click()
{
    if (m_port->portOpen()) {
        m_port->output(QByteArrayLiteral("@"));
        m_port->setPortOpen(false);
    }
}

} // namespace romwright
