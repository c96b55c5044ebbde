#include "app/gui/FrmMain.h"

#include "app/gui/MainWindow.h"
#include "app/shell/FindFile.h"
#include "app/shell/MainState.h"
#include "help/HTMLHelp.h"
#include "help/HelpMenu.h"
#include "platform/FileSystem.h"
#include "scanner/FindScanner.h"
#include "scanner/Scanner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>

namespace romwright {

bool deviceRefusesUser(const QString &device)
{
    const QFileInfo info(device);
    return !device.isEmpty() && info.exists() && !(info.isReadable() && info.isWritable());
}

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
        m_cScann = std::make_unique<Scanner>(m_parts.sleeper, m_parts.dialogs, m_window, state.flags(),
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
    if (m_parts.state.mnuCom_Click(Index))
        return;
    // Beyond the red lamp: a device this user may not open is explained once.
    const QString device = m_parts.state.MSComm1().deviceName();
    if (deviceRefusesUser(device))
        m_permissionNotice.show(m_parts.dialogs, Index, device, QFileInfo(device).group());
}

void FrmMain::FindFile()
{
    romwright::FindFile({m_window, m_parts.dialogs, m_parts.state.flags(), m_window.processorChosen(), m_parts.programFolder,
                         &m_filter, [this](const QString &path) { fileOpen(path); }});
}

void FrmMain::optProcessor_Click(int Index)
{
    m_parts.state.optProcessor_Click(Index);
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

void FrmMain::Form_Unload()
{
    if (m_makeHelp)
        closeHelp(help());
}

void FrmMain::Form_Terminate()
{
    m_parts.state.link().closePort();
    end(0);
}

void FrmMain::end(int code)
{
    if (m_ending)
        return;
    m_ending = true;
    m_window.setBusy(false);
    if (m_endProgram)
        m_endProgram(code);
}

} // namespace romwright
