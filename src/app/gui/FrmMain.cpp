#include "app/gui/FrmMain.h"

#include "app/gui/MainWindow.h"
#include "app/shell/FindFile.h"
#include "app/shell/FirmwareDiscovery.h"
#include "app/shell/MainState.h"
#include "help/HTMLHelp.h"
#include "help/HelpMenu.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "scanner/FindScanner.h"
#include "scanner/Scanner.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace romwright {

FrmMain::FrmMain(MainWindow &window, WindowParts parts, std::function<std::unique_ptr<HTMLHelp>()> makeHelp,
                 std::function<void()> aboutBox, std::function<void(int)> endProgram, QObject *parent)
    : QObject(parent), m_window(window), m_parts(parts), m_makeHelp(std::move(makeHelp)),
      m_aboutBox(std::move(aboutBox)), m_endProgram(std::move(endProgram))
{
    connect(&window, &MainWindow::portClicked, this, &FrmMain::mnuCom_Click);
    connect(&window, &MainWindow::openFileClicked, this, &FrmMain::FindFile);
    connect(&window, &MainWindow::processorClicked, this, &FrmMain::optProcessor_Click);
    connect(&window, &MainWindow::programClicked, this, &FrmMain::cmdProgram_Click);
    connect(&window, &MainWindow::exitClicked, this, &FrmMain::ExitCommand_Click);
    connect(&window, &MainWindow::aboutClicked, this, &FrmMain::mnuAbout_Click);
    connect(&window, &MainWindow::viewHelpClicked, this, &FrmMain::mnuHelpViewHelp_Click);
    connect(&window, &MainWindow::keyReleased, this, &FrmMain::Form_KeyUp);
    window.setCloseCheck([this] { return mayClose(); });
    connect(&window, &MainWindow::closing, this, [this] {
        Form_Unload();
        Form_Terminate();
    });
}

FrmMain::~FrmMain() = default;

FormLoadEnd FrmMain::Form_Load(const std::optional<WindowCommandLine> &commandLine)
{
    FormLoadSteps steps;
    MainState &state = m_parts.state;
    steps.programming = [&state] { return state.flags().bProgramming; };
    steps.createScanner = [this, &state] {
        state.target().sLetterQ = QStringLiteral("Q");
        state.target().sLetterA = QStringLiteral("A");
        m_cScann = std::make_unique<Scanner>(m_parts.clock, m_parts.dialogs, m_window, state.flags(),
                                              m_parts.scannerTimings);
    };
    steps.findScanner = [this, &state](const std::optional<QString> &comP, const std::optional<QString> &scannMod) {
        ScannerSearch search;
        if (!m_cScann)
            return search;
        const FindScannerResult found =
            FindScanner(*m_cScann, state.MSComm1(), m_window, state.flags(), comP, scannMod);
        search.port = found.port;
        switch (found.status) {
        case FindStatus::Done: search.status = ScannerSearch::Status::Done; break;
        case FindStatus::EndProgram: search.status = ScannerSearch::Status::EndProgram; break;
        case FindStatus::BadPortNumber: search.status = ScannerSearch::Status::BadPortNumber; break;
        }
        return search;
    };
    steps.mnuComClick = [this](int port) { mnuCom_Click(port); };
    steps.identifyTarget = [&state] { return !endsProgram(state.IdentifyTarget()); };
    steps.typeOfScanner = [this] { return m_cScann ? int(m_cScann->TypeOfScanner()) : 0; };
    steps.targetA = [&state] { return state.target().bTargetA; };
    steps.fileOpen = [this](const QString &path) { fileOpen(path); };
    steps.letEventsRun = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };

    state.startTimers();
    const FormLoadEnd end = FormLoad(
        commandLine, steps, {m_parts.files, m_window, m_parts.programFolder, m_parts.userDataFolder}, &m_sFirmFile);
    if (end == FormLoadEnd::EndProgram) {
        state.link().closePort();
        return end;
    }
    // No scanner, and ports this user may not open: that is most likely why.
    if (m_cScann && m_cScann->State() != kScannerFound && !m_cScann->refusedPorts().empty()) {
        m_window.setLamp(LampId::ComStatus, Lamp::Red);
        m_permissionNotice.show(m_parts.dialogs, m_cScann->refusedPorts());
    }
    // A running scanner's own replies ("R1") are answered while the window idles.
    if (m_cScann && m_cScann->Comm())
        m_cScann->setReceiveHandling(true);
    return end;
}

void FrmMain::fileOpen(const QString &path)
{
    m_parts.state.FileOpen(path);
}

void FrmMain::mnuCom_Click(int Index)
{
    if (m_parts.state.mnuCom_Click(Index) || Index < PortMap::kFirstPort || Index > PortMap::kLastPort)
        return;
    // Beyond the red lamp: a device this user may not open is explained once.
    const DeviceAccess access = deviceAccess(m_parts.state.MSComm1().deviceName());
    if (access.refusesUser())
        m_permissionNotice.show(m_parts.dialogs, {{Index, access}});
}

void FrmMain::FindFile()
{
    romwright::FindFile({m_window, m_parts.dialogs, m_parts.state.flags(), m_window.processorChosen(), m_parts.programFolder,
                         &m_filter, [this](const QString &path) { fileOpen(path); }});
}

void FrmMain::optProcessor_Click(int Index)
{
    MainState &state = m_parts.state;
    state.optProcessor_Click(Index);
    // A Wexmoor's processor brings its own newest firmware; choosing the same
    // processor again keeps a file the user opened meanwhile.
    const bool barCode = state.flags().bBarCodeProcessor;
    if ((Index != 0 && Index != 1) || m_processorLoaded == barCode ||
        typeOfScannerForModel(m_window.text(LabelId::ScanMod)) != 5)
        return;
    m_processorLoaded = barCode;
    const FirmwareChoice found = discoverFirmware(m_parts.files, {m_parts.programFolder, m_parts.userDataFolder}, 5,
                                                  state.target().bTargetA, QString(), barCode);
    m_sFirmFile = found.sFirmFile;
    if (loadDiscoveredFirmware(m_parts.files, found, m_window, [this](const QString &path) { fileOpen(path); }))
        return;
    // Nothing for this processor: the other processor's file must not stay loaded.
    m_window.setText(LabelId::FirmFile, QStringLiteral("None"));
    m_window.setLamp(LampId::FileOk, Lamp::Grey);
    m_window.setEnabled(ControlId::ProgramButton, false);
    state.firmware().FilesValid = false;
}

void FrmMain::cmdProgram_Click()
{
    // From here on only the bootloader dialogue reads the port.
    if (m_cScann)
        m_cScann->setReceiveHandling(false);
    const Outcome outcome = m_parts.state.cmdProgram_Click();
    if (endsProgram(outcome))
        end(outcome == Outcome::EndCompleted ? 0 : 1);
}

void FrmMain::ExitCommand_Click()
{
    m_parts.state.ExitCommand_Click();
    end(0);
}

void FrmMain::mnuAbout_Click()
{
    if (m_aboutBox)
        m_aboutBox();
}

HTMLHelp &FrmMain::help()
{
    if (!m_Help)
        m_Help = m_makeHelp();
    return *m_Help;
}

void FrmMain::mnuHelpViewHelp_Click()
{
    if (m_makeHelp)
        viewHelpFile(help(), m_parts.programFolder);
}

void FrmMain::Form_KeyUp(int KeyCode)
{
    m_prompt.keyReleased(KeyCode, m_parts.dialogs, m_parts.state.target().sLetterQ);
}

bool FrmMain::mayClose()
{
    if (!m_parts.state.update().running())
        return true;
    return m_parts.dialogs.question(
        QStringLiteral(
            "An update is running. If you close the Romwright now, the scanner keeps its boot software "
            "and has no firmware until the update is run again. Close anyway?"),
        QStringLiteral("Update Running"), MessageIcon::Exclamation);
}

void FrmMain::Form_Unload()
{
    if (m_makeHelp)
        closeHelp(help());
}

void FrmMain::Form_Terminate()
{
    const bool cutShort = m_parts.state.update().running();
    m_parts.state.link().closePort();
    end(cutShort ? 1 : 0);
}

void FrmMain::end(int code)
{
    if (m_ending)
        return;
    m_ending = true;
    // A wait that runs now returns, and the stack unwinds to the event loop.
    m_parts.clock.endWaits();
    m_window.setBusy(false);
    if (m_endProgram)
        m_endProgram(code);
}

} // namespace romwright
