#include "app/window/MainWindowHandlers.h"

#include "app/ExitStatus.h"
#include "app/RunEnding.h"
#include "app/startup/FindScanner.h"
#include "app/startup/MainState.h"
#include "app/update/FirmwareDiscovery.h"
#include "app/update/UnfinishedUpdate.h"
#include "app/update/UpdateMessages.h"
#include "app/window/FindFile.h"
#include "app/window/LineThread.h"
#include "app/window/MainWindow.h"
#include "app/window/WidgetDialogs.h"
#include "help/HTMLHelp.h"
#include "help/HelpMenu.h"
#include "image/FirmwareCheck.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "scanner/Scanner.h"

#include <QApplication>
#include <QThread>

#include <utility>

namespace romwright {

namespace {

// What the status line says while a step of an update runs; null: as it was.
const char *stepStatus(UpdateStep step)
{
    switch (step) {
    case UpdateStep::RamLoader:
    case UpdateStep::BootSoftware:
        return kInstallingBootSoftware;
    case UpdateStep::PowerCycle: // after the prompt: the new boot software is awaited
        return kWaitingForBootSoftware;
    case UpdateStep::Erase:
        return kErasingFlash;
    case UpdateStep::FirmwarePass:
        return kSendingFirmware;
    case UpdateStep::Reset:
        return kWaitingForRestart;
    case UpdateStep::Request: // the click's own text stands
    case UpdateStep::Greeting:
    case UpdateStep::Done:
        break;
    }
    return nullptr;
}

} // namespace

MainWindowHandlers::MainWindowHandlers(MainWindow &window, WindowParts parts,
                                       std::function<std::unique_ptr<HTMLHelp>()> makeHelp,
                                       std::function<void()> aboutBox, std::function<void(int)> endProgram,
                                       QObject *parent)
    : QObject(parent), m_window(window), m_parts(parts), m_onWindow(window, parts.clock),
      m_makeHelp(std::move(makeHelp)), m_aboutBox(std::move(aboutBox)), m_endProgram(std::move(endProgram)),
      // A box that asks the user is what the program waits for then: it says so itself.
      // The close question alone, modal to the window only, waits for nothing.
      m_status(parts.clock, [this, &window](const QString &text) {
          m_onWindow([&] {
              const QWidget *modal = QApplication::activeModalWidget();
              window.setStatus(modal && modal->windowModality() == Qt::ApplicationModal ? QString() : text);
          });
      })
{
    connect(&window, &MainWindow::portClicked, this,
            [this](int index) { onLine([this, index] { mnuCom_Click(index); }, Request); });
    connect(&window, &MainWindow::openFileClicked, this, [this] { onLine([this] { FindFile(); }, Request); });
    connect(&window, &MainWindow::fileDropped, this,
            [this](const QString &path) { onLine([this, path] { fileDropped(path); }, Request); });
    connect(&window, &MainWindow::processorClicked, this,
            [this](int index) { onLine([this, index] { optProcessor_Click(index); }); });
    connect(&window, &MainWindow::programClicked, this, [this] { onLine([this] { cmdProgram_Click(); }); });
    connect(&window, &MainWindow::exitClicked, this, [this] { onLine([this] { ExitCommand_Click(); }); });
    connect(&window, &MainWindow::aboutClicked, this, &MainWindowHandlers::mnuAbout_Click);
    connect(&window, &MainWindow::viewHelpClicked, this, &MainWindowHandlers::mnuHelpViewHelp_Click);
    connect(&window, &MainWindow::windowHelpClicked, this, &MainWindowHandlers::windowHelp);
    connect(&window, &MainWindow::forgetRecordClicked, this,
            [this] { onLine([this] { mnuForgetRecord_Click(); }); });
    connect(&window, &MainWindow::keyReleased, this, &MainWindowHandlers::Form_KeyUp);
    connect(&window, &MainWindow::searchAgainClicked, this,
            [this] { onLine([this] { mnuSearchAgain_Click(); }); });
    window.setSearchAgainCheck([this] { return maySearchAgain(); });
    // Heard before the update's controller shows the step.
    parts.state.update().listen(m_updateListener, true);
    window.setCloseCheck([this] { return mayClose(); });
    connect(&window, &MainWindow::closing, this, [this] {
        Form_Unload();
        Form_Terminate();
    });
    // Whatever comes from a port shows that something answers there. Heard
    // on the port's own thread, the line's.
    SerialPort &port = parts.state.MSComm1();
    connect(
        &port, &SerialPort::received, this,
        [this, &port] {
            m_heard.insert(port.commPort());
            m_status.heard();
        },
        Qt::DirectConnection);
    parts.state.updateController().timedOutAdvice = [this, &port] {
        return heardFrom(port.commPort())
                   ? QString::fromLatin1(kBootSoftwareSilent).arg(portOf(port.commPort()))
                   : silentPortText(port.commPort());
    };
    parts.state.updateController().portChosen = [this] {
        const int n = m_parts.state.inputs().port();
        return n > 0 ? portOf(n) : QString();
    };
    parts.state.updateController().lineFailureAdvice = [this, &port] {
        return QString::fromLatin1(kScannerWasOn).arg(portOf(port.commPort()));
    };
}

void MainWindowHandlers::onLine(std::function<void()> handler, LineCall call)
{
    if (!m_parts.line)
        handler();
    else if (call == Request)
        m_parts.line->request(std::move(handler));
    else
        m_parts.line->offer(std::move(handler));
}

MainWindowHandlers::~MainWindowHandlers()
{
    m_parts.state.update().stopListening(m_updateListener);
}

// The File and Port menus open while the update awaits the repeated
// greeting: what they ask for is taken in by its waits until the route begins.
void MainWindowHandlers::UpdateListener::takeRequests(bool take)
{
    if (m_handlers.m_parts.line)
        m_handlers.m_parts.line->acceptRequests(take);
}

// An update's waits, told by its own steps.
void MainWindowHandlers::UpdateListener::step(UpdateStep step)
{
    WaitStatus &status = m_handlers.m_status;
    if (step == UpdateStep::Request && status.active()) {
        // The request's first answer is listened for at 19200 baud, where
        // only old boot software answers; back at 38400 the greeting is due.
        const SerialPort &port = m_handlers.m_parts.state.MSComm1();
        status.listen(
            QString::fromUtf8(kListeningForOldBootSoftware),
            [&port] { return !port.settings().startsWith(QLatin1String("19200")); }, m_handlers.m_waitText);
        return;
    }
    if (const char *what = stepStatus(step); what && m_handlers.m_status.active())
        m_handlers.m_status.begin(QString::fromUtf8(what));
}

FormLoadEnd MainWindowHandlers::Form_Load(const std::optional<WindowCommandLine> &commandLine)
{
    MainState &state = m_parts.state;
    StartUpRequest request;
    if (commandLine) {
        // A path alone is a file opened with the program: the scanner is
        // searched for as at a start without arguments. A bare name keeps
        // its old meaning, no search.
        const bool pathAlone = !commandLine->path.isEmpty() && commandLine->port.trimmed().isEmpty() &&
                               commandLine->model.trimmed().isEmpty();
        if (!pathAlone) {
            request.comP = commandLine->port;
            request.scannMod = commandLine->model;
        }
        // A path is read and judged as it is; a bare name is looked for in the folders.
        if (commandLine->path.isEmpty())
            request.firmwareName = commandLine->file;
        else
            request.firmwarePath = commandLine->path;
    }
    request.offerRecords = true;
    Dialogs &dialogs = m_parts.dialogs;
    state.gate().contradiction = [&dialogs](const ModelDecision &decision, const QString &claimed) {
        // A port that could not be read cleanly is no question: nobody may go on.
        if (decision.kind == ModelDecision::Kind::Refused) {
            dialogs.message(decision.text, QString::fromLatin1(kFirmwareCheckTitle),
                            MessageIcon::Exclamation);
            return false;
        }
        const QString goOn = claimed.isEmpty()
                                 ? QStringLiteral(" Choose its model all the same?")
                                 : QStringLiteral(" Go on with the %1 all the same?").arg(claimed);
        const QString risk = decision.risk.isEmpty() ? QString() : QLatin1Char(' ') + decision.risk;
        return dialogs.question(decision.text + risk + goOn, QString::fromLatin1(kFirmwareCheckTitle),
                                MessageIcon::Exclamation);
    };
    const StartUpResult started = startUp(request);
    m_sFirmFile = started.sFirmFile;
    if (started.end != FormLoadEnd::Ready) {
        state.link().closePort();
        return FormLoadEnd::EndProgram;
    }
    m_finishing = started.finishing.has_value() && !m_finishLater;
    if (started.finishing && m_finishLater) {
        m_record = started.finishing;
        m_onWindow([this] { m_window.setForgetRecordVisible(true); });
        dialogs.message(QString::fromLatin1(kFinishLater).arg(m_record->model, portName(m_record->port)),
                        QString::fromLatin1(kUnfinishedUpdateTitle), MessageIcon::Exclamation);
    }
    // A port named by hand where nothing answered: said now, not after
    // PROGRAM and its waits. A model label that names no scanner reads "Unknown".
    const int port = state.MSComm1().commPort();
    bool isNumber = false;
    const int asked = commandLine ? commandLine->port.trimmed().toInt(&isNumber) : 0;
    if (isNumber && asked >= PortMap::kFirstPort && asked <= PortMap::kLastPort &&
        !state.MSComm1().portOpen() && !state.MSComm1().presentPorts().contains(asked))
        sayMissingPort(asked);
    else if (commandLine && !commandLine->port.trimmed().isEmpty() && state.MSComm1().portOpen() &&
             !heardFrom(port)) {
        if (!state.inputs().family())
            state.inputs().setModel(QStringLiteral("Unknown"));
        dialogs.message(silentPortText(port), QString::fromLatin1(kScannerNotFoundTitle),
                        MessageIcon::Exclamation);
    }
    // A running scanner's own replies ("R1") are answered while the window idles.
    if (m_cScann && m_cScann->Comm())
        m_cScann->setReceiveHandling(true);
    return FormLoadEnd::Ready;
}

StartUpResult MainWindowHandlers::startUp(const StartUpRequest &request)
{
    const bool searching = !request.comP || !request.scannMod;
    if (searching)
        m_status.begin(QString::fromUtf8(kSearchingPorts));
    const StartUpResult started = FormLoad(
        request, {m_parts.state, m_cScann, m_permissionNotice, m_parts.scannerTimings}, m_startUpAnswers);
    m_status.end();
    if (m_parts.state.scannerLeftInBootSoftware())
        m_onWindow([this] { m_window.setStatus(QString::fromUtf8(kWaitsInBootSoftware)); });
    return started;
}

// After the search, before the port opens: the identification comes next.
void MainWindowHandlers::StartUpAnswers::openingPort(int typeOfScanner)
{
    // After a search that found nothing the label says so; the line must not contradict it.
    m_handlers.m_status.begin(
        QString::fromUtf8(familyOfType(typeOfScanner) ? kWaitingForBootSoftware : kListeningForBootSoftware));
}

void MainWindowHandlers::StartUpAnswers::noScannerFound(const std::vector<int> &recordPorts)
{
    const QString forget = forgetHint(recordPorts);
    m_dialogs.message(QString::fromLatin1(kNoScannerWayBackWindow) +
                          (forget.isEmpty() ? forget : QLatin1Char(' ') + forget + QLatin1Char('.')) +
                          QLatin1String(kSearchAgainHint),
                      QString::fromLatin1(kScannerNotFoundTitle), MessageIcon::Information);
}

FinishAnswer MainWindowHandlers::StartUpAnswers::offerToFinish(const UnfinishedUpdate &record, int)
{
    // No is "not now": the scanner still waits in its boot software, where
    // no search finds it, so the window takes the record's port, model and
    // file all the same and PROGRAM finishes it when the user is ready.
    m_handlers.m_finishLater = !m_dialogs.question(record.sentence() + QLatin1String(kFinishItNow),
                                                   QString::fromLatin1(kUnfinishedUpdateTitle),
                                                   MessageIcon::Question, DefaultAnswer::Yes);
    return FinishAnswer::Finish;
}

StartUpFrontEnd::RecordPick
MainWindowHandlers::StartUpAnswers::chooseAmongRecords(const std::vector<UnfinishedUpdate> &rivals, int)
{
    // One question each, naming model, file and time; No to all leaves them.
    for (std::size_t chosen = 0; chosen < rivals.size(); ++chosen) {
        const UnfinishedUpdate &record = rivals[chosen];
        const QString text = QString::fromLatin1(kRivalRecords).arg(rivals.size()).arg(record.port) +
                             QStringLiteral("\n\n") + record.sentence() +
                             QStringLiteral(" Its firmware file: %1.").arg(displayFileName(record.file)) +
                             QLatin1String(kFinishItNow);
        if (m_dialogs.question(text, QString::fromLatin1(kUnfinishedUpdateTitle), MessageIcon::Question,
                               DefaultAnswer::No))
            return {FinishAnswer::Finish, chosen};
    }
    return {FinishAnswer::Search, rivals.size()};
}

void MainWindowHandlers::StartUpAnswers::recordNotUsed(const UnfinishedUpdate &record, RecordedFile file)
{
    const char *text = file == RecordedFile::Changed ? kRecordFileChanged : kRecordFileMissing;
    m_dialogs.message(QString::fromLatin1(text).arg(record.sentence(), displayFileName(record.file)),
                      QString::fromLatin1(kUnfinishedUpdateTitle), MessageIcon::Exclamation);
}

void MainWindowHandlers::StartUpAnswers::recordDamaged(const DamagedRecord &damaged)
{
    m_dialogs.message(damagedRecordText(damaged), QString::fromLatin1(kUnfinishedUpdateTitle),
                      MessageIcon::Exclamation);
}

void MainWindowHandlers::StartUpAnswers::recordSetAside(const UnfinishedUpdate &, const QString &text)
{
    m_dialogs.message(text, QString::fromLatin1(kUnfinishedUpdateTitle), MessageIcon::Exclamation);
}

bool MainWindowHandlers::maySearchAgain() const
{
    MainState &state = m_parts.state;
    return !m_searching && !m_ending && !state.update().running() && !state.flags().bProgramming;
}

void MainWindowHandlers::mnuSearchAgain_Click()
{
    if (!maySearchAgain())
        return;
    MainState &state = m_parts.state;
    m_searching = true;
    // Nothing to click while the ports are tried: a click would open a port,
    // load a file or start an update in the middle of the search. The close
    // box stays, and ends the waits.
    m_onWindow([this] {
        m_window.setLocked(true);
        m_window.setBusy(true);
    });
    if (m_cScann)
        m_cScann->setReceiveHandling(false);
    // The port is closed for the search: nothing may show it as open.
    state.link().closePort();
    state.services().view.setPortTicked(0);
    state.inputs().setPort(0);
    state.services().view.setLamp(LampId::ComStatus, Lamp::Grey);
    const StartUpResult started = startUp(StartUpRequest{});
    if (m_ending)
        return; // the window was closed meanwhile
    m_searching = false;
    m_sFirmFile = started.sFirmFile;
    m_processorLoaded.reset();
    m_onWindow([this] {
        m_window.setBusy(false);
        m_window.setLocked(false);
    });
    if (started.end == FormLoadEnd::EndProgram) {
        end(kExitCompleted); // the chooser's Exit
        return;
    }
    if (m_cScann && m_cScann->Comm())
        m_cScann->setReceiveHandling(true);
}

void MainWindowHandlers::mnuForgetRecord_Click()
{
    MainState &state = m_parts.state;
    if (!m_record || state.update().running())
        return;
    const QString text = QString::fromLatin1(kForgetRecord).arg(m_record->model, portName(m_record->port));
    if (!m_parts.dialogs.question(text, QString::fromLatin1(kUnfinishedUpdateTitle), MessageIcon::Exclamation,
                                  DefaultAnswer::No))
        return;
    UnfinishedUpdates(state.services().stateFolder).remove(m_record->port);
    m_record.reset();
    m_onWindow([this] { m_window.setForgetRecordVisible(false); });
}

void MainWindowHandlers::mnuCom_Click(int Index)
{
    MainState &state = m_parts.state;
    if (openPortExplained(state, m_permissionNotice, Index) == PortOpening::Opened &&
        std::exchange(m_portMissing, false))
        state.services().view.setControlEnabled(ControlId::ProgramButton, state.firmware().FilesValid);
}

void MainWindowHandlers::sayMissingPort(int n)
{
    MainView &view = m_parts.state.services().view;
    m_portMissing = true;
    view.setText(LabelId::Port, QStringLiteral("%1 (not present)").arg(n));
    view.setLamp(LampId::ComStatus, Lamp::Red);
    view.setPortMenuVisible(true);
    view.setControlEnabled(ControlId::ProgramButton, false);
    m_parts.dialogs.message(QString::fromLatin1(kMissingPort).arg(portName(n)),
                            QString::fromLatin1(kScannerNotFoundTitle), MessageIcon::Exclamation);
}

FindFileContext MainWindowHandlers::findFileContext()
{
    return {m_parts.state.inputs(),
            m_parts.dialogs,
            m_onWindow([this] { return m_window.processorChosen(); }),
            m_parts.programFolder,
            &m_filter,
            [this](const QString &path) { m_parts.state.FileOpen(path); },
            m_parts.state.firmwareFile(),
            documentsFolder(),
            m_parts.registry};
}

void MainWindowHandlers::FindFile()
{
    romwright::FindFile(findFileContext());
}

void MainWindowHandlers::fileDropped(const QString &path)
{
    MainState &state = m_parts.state;
    if (m_searching || m_ending || state.update().running())
        return;
    OpenGivenFile(findFileContext(), path);
}

void MainWindowHandlers::optProcessor_Click(int Index)
{
    MainState &state = m_parts.state;
    state.optProcessor_Click(Index);
    // A Wexmoor's processor brings its own newest firmware; choosing the same
    // processor again keeps a file the user opened meanwhile.
    const bool barCode = state.inputs().barCode();
    const ScannerFamily *family = state.inputs().family();
    if ((Index != 0 && Index != 1) || m_processorLoaded == barCode || !family || !hasProcessors(*family))
        return;
    m_processorLoaded = barCode;
    const FirmwareChoice found = discoverFirmware(
        m_parts.files, QStringList{m_parts.programFolder, m_parts.userDataFolder} + m_parts.systemDataFolders,
        family->type, state.target().bTargetA, QString(), barCode);
    m_sFirmFile = found.sFirmFile;
    MainView &view = state.services().view;
    if (loadDiscoveredFirmware(m_parts.files, found, view, state.inputs(),
                               [this](const QString &path) { m_parts.state.FileOpen(path); }))
        return;
    // Nothing for this processor: the other processor's file must not stay loaded.
    state.inputs().setFile(std::nullopt);
    view.setLamp(LampId::FileOk, Lamp::Grey);
    view.setControlEnabled(ControlId::ProgramButton, false);
    state.firmware().FilesValid = false;
}

void MainWindowHandlers::cmdProgram_Click()
{
    runUpdate(kWaitingForBootSoftware);
}

void MainWindowHandlers::afterShown()
{
    if (!std::exchange(m_finishing, false) || m_ending ||
        !m_parts.state.services().view.isControlEnabled(ControlId::ProgramButton))
        return;
    runUpdate(kFinishingUpdate);
}

void MainWindowHandlers::runUpdate(const char *status)
{
    // The update now is the record's own: it keeps or removes it.
    const std::optional<UnfinishedUpdate> record = std::exchange(m_record, std::nullopt);
    if (record)
        m_onWindow([this] { m_window.setForgetRecordVisible(false); });
    // From here on only the bootloader dialogue reads the port.
    if (m_cScann)
        m_cScann->setReceiveHandling(false);
    m_waitText = QString::fromUtf8(status);
    m_status.begin(m_waitText);
    m_updateEnded.reset();
    const Outcome outcome = m_parts.state.cmdProgram_Click();
    if (!m_updateEnded)
        m_status.end();
    if (record)
        offerRecordAgain(*record);
    // The update's own messages have said how it ended; the window ends with its status.
    if (endsProgram(outcome))
        end(m_updateEnded ? m_updateEnded->status
                          : updateEnding(outcome, m_parts.state.update().failure()).status);
}

void MainWindowHandlers::offerRecordAgain(const UnfinishedUpdate &record)
{
    // An update that stopped before it began has left the record as it was.
    for (const UnfinishedUpdate &kept : UnfinishedUpdates(m_parts.state.services().stateFolder).all())
        if (kept.port == record.port && sameUpdate(kept, record)) {
            m_record = kept;
            m_onWindow([this] { m_window.setForgetRecordVisible(true); });
            return;
        }
}

void MainWindowHandlers::showUpdateEnding(const WindowEnding &ending)
{
    m_status.end();
    if (ending.run.kind != RunEnding::Kind::Completed || !ending.status.isEmpty())
        m_updateEnded = ending.run;
    m_onWindow([this, &ending] { showEnding(m_window, ending); });
}

void MainWindowHandlers::ExitCommand_Click()
{
    if (!mayExit())
        return;
    m_parts.state.ExitCommand_Click();
    end(kExitCompleted);
}

void MainWindowHandlers::mnuAbout_Click()
{
    if (m_aboutBox)
        m_aboutBox();
}

HTMLHelp &MainWindowHandlers::help()
{
    if (!m_Help)
        m_Help = m_makeHelp();
    return *m_Help;
}

void MainWindowHandlers::mnuHelpViewHelp_Click()
{
    if (m_makeHelp)
        viewHelpFile(help(), helpFolder(m_parts.files, m_parts.programFolder));
}

void MainWindowHandlers::windowHelp()
{
    // Beside the program's other help windows, owned by none of them.
    if (m_makeHelp)
        viewHelpPage(help(), helpFolder(m_parts.files, m_parts.programFolder),
                     QStringLiteral("main-window.html"), 0);
}

void MainWindowHandlers::Form_KeyUp(int KeyCode)
{
    m_prompt.keyReleased(KeyCode, m_parts.dialogs, m_parts.state.target().sLetterQ);
}

bool MainWindowHandlers::mayClose()
{
    if (m_terminating)
        return false; // the program is ending already: nothing to ask
    const UpdateSequence &update = m_parts.state.update();
    if (!update.running())
        return mayExit();
    // What closing now would leave the scanner with.
    const char *left = messages::phaseProse(update.phase()).ifClosed;
    if (!left)
        return true;
    if (!m_closeQuestion)
        askToClose(left);
    return false; // for now: Yes ends the program
}

void MainWindowHandlers::askToClose(const char *left)
{
    // Asked on the window's thread while the update goes on on the line's:
    // the box has no loop of its own to hold anything up, and the records go
    // on meanwhile.
    // The questions the update asks itself (the firmware check at the
    // greeting, the power-cycle prompt) are steps of it: the update waits
    // for their answers by design.
    std::unique_ptr<OpenQuestion> asked = m_parts.dialogs.ask(
        QStringLiteral("An update is running. If you close the Romwright now, %1. Close anyway?")
            .arg(QLatin1String(left)),
        QStringLiteral("Update Running"), MessageIcon::Exclamation, DefaultAnswer::No,
        [this, left](bool yes) {
            m_closeQuestion.reset();
            if (!yes || m_ending)
                return;
            // The update has gone on while the question was open: what it
            // said closing would leave may no longer be so.
            const UpdateSequence &update = m_parts.state.update();
            const char *now = update.running() ? messages::phaseProse(update.phase()).ifClosed : nullptr;
            if (now && qstrcmp(now, left) != 0) {
                askToClose(now);
                return;
            }
            // As a close the window accepted.
            Form_Unload();
            Form_Terminate();
        });
    if (asked) // null: answered already
        m_closeQuestion = std::move(asked);
}

void MainWindowHandlers::Form_Unload()
{
    if (m_makeHelp)
        closeHelp(help());
}

void MainWindowHandlers::Form_Terminate()
{
    const bool cutShort = m_parts.state.update().running();
    const auto terminate = [this, cutShort] {
        m_parts.state.link().closePort();
        end(cutShort ? kExitFailed : kExitCompleted);
    };
    if (!m_parts.line || QThread::currentThread() != m_window.thread()) {
        terminate();
        return;
    }
    // From the window: what runs on the line returns at once, then the port closes there.
    m_terminating = true;
    m_parts.clock.endWaits();
    m_parts.line->post(terminate);
}

bool MainWindowHandlers::mayExit()
{
    MainState &state = m_parts.state;
    SerialPort &port = state.MSComm1();
    // The record of the port's scanner; with no port open, of any scanner.
    std::optional<UnfinishedUpdate> record;
    for (const UnfinishedUpdate &r : UnfinishedUpdates(state.services().stateFolder).all()) {
        if (!port.portOpen() || r.port == port.commPort() ||
            (!r.device.isEmpty() && r.device == port.deviceName())) {
            record = r;
            break;
        }
    }
    const UpdatePhase phase = state.update().phase();
    const bool changed = phase != UpdatePhase::Unchanged && phase != UpdatePhase::Completed;
    // A record of no route only says the scanner was restarted into its boot software.
    if ((record && record->boot) || changed) {
        const QString shown = state.inputs().model();
        const QString model = record ? record->model : state.inputs().family() ? shown : QString();
        // One arg() for both: a model read from a record may hold "%1".
        const QString text = QString::fromLatin1(kNoFirmwareNow)
                                 .arg(model.isEmpty() ? QStringLiteral("scanner") : model,
                                      QString::number(record ? record->port : port.commPort())) +
                             QLatin1String(record ? kNoFirmwareWayBackRecord : kNoFirmwareWayBackNoRecord) +
                             QLatin1String(kExitAnyway);
        return m_parts.dialogs.question(text, QString::fromLatin1(kUnfinishedUpdateTitle),
                                        MessageIcon::Exclamation, DefaultAnswer::No);
    }
    if (state.scannerLeftInBootSoftware())
        m_parts.dialogs.message(QString::fromLatin1(kLeftInBootSoftware),
                                QString::fromLatin1(kApplicationTitle), MessageIcon::Information);
    state.recorder().leftWithoutUpdate();
    return true;
}

bool MainWindowHandlers::heardFrom(int n) const
{
    const MainState &state = m_parts.state;
    return m_heard.contains(n) || state.gate().answeredOn(n) ||
           (n == m_parts.state.MSComm1().commPort() && m_parts.state.link().greeted());
}

QString MainWindowHandlers::portOf(int n) const
{
    return portThenDevice(n, openDevice(n));
}

QString MainWindowHandlers::openDevice(int n) const
{
    return m_parts.state.MSComm1().commPort() == n ? m_parts.state.MSComm1().deviceName() : QString();
}

QString MainWindowHandlers::silentPortText(int n) const
{
    const QString device = openDevice(n);
    return QString::fromLatin1(messages::kNothingAnswered)
               .arg(portName(n), device.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(device)) +
           QLatin1Char(' ') + QString::fromLatin1(messages::kCheckSilentPort).arg(portName(n));
}

void MainWindowHandlers::end(int code)
{
    if (m_ending)
        return;
    m_ending = true;
    // A wait that runs now returns, and the job unwinds.
    m_parts.clock.endWaits();
    m_onWindow([this, code] {
        m_closeQuestion.reset();
        m_window.setBusy(false);
        if (m_endProgram)
            m_endProgram(code);
    });
}

} // namespace romwright
