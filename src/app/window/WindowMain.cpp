#include "app/ExitStatus.h"
#include "app/FrontEnds.h"
#include "app/startup/CommandLineOptions.h"
#include "app/startup/LocalServices.h"
#include "app/startup/MainState.h"
#include "app/startup/OutputPaths.h"
#include "app/window/AboutDialog.h"
#include "app/window/ChooseScannerDialog.h"
#include "app/window/LineThread.h"
#include "app/window/MainWindow.h"
#include "app/window/MainWindowHandlers.h"
#include "app/window/OnWindowThread.h"
#include "app/window/SystemHelpViewer.h"
#include "app/window/WidgetDialogs.h"
#include "app/window/WindowCommandLine.h"
#include "app/window/help/DialogHelp.h"
#include "help/HTMLHelp.h"
#include "help/HelpMenu.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "platform/QtClock.h"
#include "platform/RecordingSerialPort.h"
#include "platform/Registry.h"
#include "platform/SerialPort.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <optional>
#include <utility>

namespace romwright {

namespace {

// The device of each port that is there, at index n - 1.
QStringList presentPortDevices(const PortMap &map)
{
    QStringList devices;
    for (const int n : map.ports()) {
        while (devices.size() < n)
            devices << QString();
        devices[n - 1] = map.device(n);
    }
    return devices;
}

// Why the trace cannot be written, said; nullopt when it can (or none is asked).
std::optional<int> traceRefused(const std::optional<WindowCommandLine> &commandLine, const QString &trace,
                                PortTranscript &transcript)
{
    // The window's FILE,PORT,MODEL names the firmware in its first field.
    const QString firmware = !commandLine                  ? QString()
                             : commandLine->path.isEmpty() ? commandLine->file
                                                           : commandLine->path;
    if (const QString why = trace.isEmpty() ? QString()
                                            : outputRefusal(QStringLiteral("--trace"), trace,
                                                            programInputs(firmware.trimmed()));
        !why.isEmpty()) {
        printUsageError(why);
        return kExitUsage;
    }
    if (QString why; !trace.isEmpty() && !transcript.traceTo(trace, &why)) {
        std::fprintf(stderr, "romwright: cannot write the trace %s: %s\n", qPrintable(displayFileName(trace)),
                     qPrintable(why));
        return kExitFailed;
    }
    return std::nullopt;
}

// The stable names udev gives the serial devices it knows, by device:
// /dev/ttyUSB0 -> /dev/serial/by-id/usb-..., the name that follows the
// adapter from socket to socket.
QHash<QString, QString> byIdNames()
{
    QHash<QString, QString> names;
#ifndef Q_OS_WIN
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (link.isSymLink())
            names.insert(link.canonicalFilePath(), link.absoluteFilePath());
#endif
    return names;
}

void showPortMenu(MainWindow &window, const PortMap &map)
{
    window.setPortAliases(byIdNames());
    window.setPortDevices(presentPortDevices(map));
#ifdef Q_OS_WIN
    // COM numbers are the system's own: the menu follows adapters plugged in later.
    window.setPortSource([] { return presentPortDevices(PortMap::fromEnvironment()); });
#endif
}

void sayWindowRecorderFailures(MainState &state, Dialogs &dialogs)
{
    sayRecorderFailures(
        state,
        {// Quiet but not hidden: the update's own message has been shown.
         [](const QString &text) { std::fprintf(stderr, "romwright: warning: %s\n", qPrintable(text)); },
         // Said at once: the next start would offer to finish an update that is complete.
         [&dialogs](const QString &text) {
             dialogs.message(text + QLatin1Char('.'), QString::fromLatin1(kUnfinishedUpdateTitle),
                             MessageIcon::Exclamation);
         },
         QStringLiteral("an interrupted update will not be offered for finishing")});
}

// The help of the main window, made on first use, and F1 in a dialog: its
// page, from a help object of its own that owns the help window to the dialog.
class WindowHelp {
public:
    WindowHelp(Dialogs &dialogs, Registry &registry, const FileSystem &files, const QString &folder)
        : m_viewer(makeSystemHelpViewer(dialogs)), m_dialogs(dialogs), m_registry(registry), m_files(files),
          m_folder(folder), m_dialogHelp([this](const QString &page, WindowHandle owner) {
              if (!m_dialogHelpObject)
                  m_dialogHelpObject = make();
              viewHelpPage(*m_dialogHelpObject, helpFolder(m_files, m_folder), page, owner);
          })
    {
    }
    std::unique_ptr<HTMLHelp> make() const
    {
        return std::make_unique<HTMLHelp>(*m_viewer, m_dialogs, m_registry, m_files, m_folder);
    }

private:
    const std::unique_ptr<HelpViewer> m_viewer;
    Dialogs &m_dialogs;
    Registry &m_registry;
    const FileSystem &m_files;
    QString m_folder;
    std::unique_ptr<HTMLHelp> m_dialogHelpObject;
    const DialogHelp m_dialogHelp;
};

ProgramFacts aboutFacts(MainState &state)
{
    const MainServices &services = state.services();
    // Read on the window's thread: the port itself belongs to the line's.
    return ProgramFacts{{},
                        services.programFolder,
                        services.userDataFolder,
                        services.systemDataFolders,
                        userStateFolder(),
                        state.MSComm1().openNumber()};
}

// The window shows at once, locked, its status line telling start-up's
// waits (the search, the boot software's greeting), which run on the line's
// thread; only the close box answers meanwhile, and it ends the waits. Then
// the window unlocks, or the program ends when start-up ended it.
void startUp(MainWindow &window, MainWindowHandlers &frm, LineThread &line, WindowCalls &onWindow,
             const std::optional<WindowCommandLine> &commandLine, std::optional<int> &endedWith)
{
    window.centre();
    window.setLocked(true);
    window.setBusy(true);
    window.show();
    line.post([&, commandLine] {
        const FormLoadEnd loaded = frm.Form_Load(commandLine);
        onWindow([&] {
            window.setBusy(false);
            window.setLocked(false);
            if (endedWith)
                return; // the program is ending already
            if (loaded == FormLoadEnd::EndProgram) {
                endedWith = kExitCompleted;
                QCoreApplication::exit(kExitCompleted);
                return;
            }
            // An update chosen at start-up to be finished runs as soon as the window can show it.
            QTimer::singleShot(0, &frm, [&] { line.offer([&] { frm.afterShown(); }); });
        });
    });
}

// The port and the state around it, made on the line's thread: they belong to it.
std::unique_ptr<MainState> lineState(LineThread &line, const PortMap &map, PortTranscript &transcript,
                                     MainView &view, Dialogs &dialogs, const FileSystem &files)
{
    std::unique_ptr<MainState> state;
    line.runNow([&] {
        state = std::make_unique<MainState>(
            std::make_unique<RecordingSerialPort>(makeSystemSerialPort(map), transcript),
            localServices(view, dialogs, line.clock(), files, transcript));
    });
    return state;
}

// A signal ends the window as its close button would, without asking. What
// the update had reached is read as the signal comes, before its waits are
// ended; the port closes on the line's thread once they have.
std::function<void(int)> endOnSignal(MainState &state, LineThread &line,
                                     const std::function<void(int)> &endProgram)
{
    return [&state, &line, endProgram](int signal) {
        // Also once start-up has restarted the scanner, with no update running.
        const UpdatePhase phase = state.update().phase();
        const bool restarted = state.link().restartRequested();
        const bool running = state.update().running();
        line.clock().endWaits();
        line.post([&state, phase, restarted, running] {
            if (running || (restarted && phase == UpdatePhase::Unchanged))
                std::fprintf(stderr, "romwright: %s\n",
                             interruptionText(phase, restarted, state.recorder().recordKept()));
            state.link().closePort();
        });
        endProgram(TerminationSignals::exitStatus(signal));
    };
}

// The line's side of the window: the state made on the line's thread and
// what it tells and asks the window, made on the window's.
struct LineSide {
    LineSide(LineThread &line, MainWindow &window, Dialogs &windowDialogs, const PortMap &map,
             PortTranscript &transcript, const FileSystem &files)
        : line(line), onWindow(window, line.clock()), view(window, onWindow),
          dialogs(windowDialogs, onWindow), state(lineState(line, map, transcript, view, dialogs, files))
    {
    }
    ~LineSide() { close(); }
    // Once the window has gone: the port closes on its own thread, then the thread ends.
    void close()
    {
        if (std::exchange(closed, true))
            return;
        onWindow.windowGone();
        line.post([this] { state->link().closePort(); });
        line.stop();
    }

    LineThread &line;
    WindowCalls onWindow;
    ViewOnWindowThread view;
    DialogsOnWindowThread dialogs;
    const std::unique_ptr<MainState> state;
    bool closed = false;
};

} // namespace

int runWindow(int &argc, char **argv, const QString &trace)
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/romwright-48.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("romwright"));
    const QStringList arguments = commandLineArguments(argc, argv);

    const PortMap map = portMapWithRecordedTerminals();
    if (map.ignoredDevices() > 0)
        std::fprintf(stderr, "%s\n", qPrintable(map.ignoredDevicesNote()));
    QtClock clock; // the window's own: its dialogs' timers
    // Start-up, updates and every handler that talks to a scanner run on the
    // line's own thread; the window only posts them and shows what they say.
    LineThread line;
    LocalFileSystem files;
    PortTranscript transcript(line.clock());
    const std::optional<WindowCommandLine> commandLine = parseWindowCommandLine(arguments);
    if (const std::optional<int> refused = traceRefused(commandLine, trace, transcript))
        return *refused;

    MainWindow window;
    showPortMenu(window, map);

    WidgetDialogs dialogs(&window); // the chooser comes with the handlers below
    dialogs.setClock(clock);
    const std::unique_ptr<Registry> registry = makeSettingsRegistry();
    LineSide lineSide(line, window, dialogs, map, transcript, files);
    MainState &state = *lineSide.state;
    const MainServices &services = state.services();
    const QString &folder = services.programFolder;
    const QString &userFolder = services.userDataFolder;
    const QStringList &systemFolders = services.systemDataFolders;
    sayWindowRecorderFailures(state, lineSide.dialogs);

    // On the window's thread: the line's waits have been told to return, and
    // exec() below answers the code. The port is closed on the line's thread
    // (EXIT, the window's unload, the end of a route), and in any case when
    // the window has gone.
    std::optional<int> endedWith;
    auto endProgram = [&window, &dialogs, &endedWith](int code) {
        window.hide();
        dialogs.silence();
        const int signal = TerminationSignals::lastCaught();
        endedWith = signal != 0 ? TerminationSignals::exitStatus(signal) : code;
        QCoreApplication::exit(*endedWith);
    };

    const WindowHelp help(dialogs, *registry, files, folder);

    const TerminationSignals interruption(endOnSignal(state, line, endProgram));

    MainWindowHandlers frm(
        window,
        {state,
         line.clock(),
         files,
         lineSide.dialogs,
         folder,
         userFolder,
         {},
         systemFolders,
         registry.get(),
         &line},
        [&help] { return help.make(); }, [&] { showAbout(&window, *registry, aboutFacts(state)); },
        endProgram);
    // The chooser's Exit warns as EXIT does.
    dialogs.setChooser(
        [&frm](QWidget *parent) { return chooseScannerWindow(parent, [&frm] { return frm.mayExit(); }); });
    startUp(window, frm, line, lineSide.onWindow, commandLine, endedWith);
    const int status = QApplication::exec();
    lineSide.close();
    if (transcript.traceFailed())
        std::fprintf(stderr, "romwright: warning: the trace %s could not be written whole\n",
                     qPrintable(displayFileName(trace)));
    return status;
}

} // namespace romwright
