#pragma once
// The window and its handlers over the given port, with what the tests look
// at: the dialogs' script, the help viewer's calls and the exit codes.

#include "app/startup/MainState.h"
#include "app/window/LineThread.h"
#include "app/window/MainWindow.h"
#include "app/window/MainWindowHandlers.h"
#include "app/window/OnWindowThread.h"
#include "help/HTMLHelp.h"
#include "help/RecordingHelpViewer.h"
#include "platform/FileSystem.h"
#include "platform/LineClock.h"
#include "platform/Registry.h"
#include "support/ScriptedDialogs.h"
#include "support/UpdateWatch.h"

#include <QEventLoop>
#include <QTemporaryDir>

namespace romwright::test {

struct WindowRig {
    // OnLine: the handlers that talk to the scanner run on a line thread
    // of their own, as in the program, while this thread runs the window.
    enum Threads { OneThread, OnLine };

    WindowRig(std::unique_ptr<SerialPort> port, const QString &folder, const QString &userFolder,
              const FlashTimings &timings, Clock *manual = nullptr, Threads threads = OneThread)
        : line(threads == OnLine ? std::make_unique<LineThread>() : nullptr), clock(line     ? line->clock()
                                                                                    : manual ? *manual
                                                                                             : realClock),
          lineDialogs(dialogs, calls), lineView(window, calls),
          state(makeState(std::move(port),
                          {line ? static_cast<MainView &>(lineView) : window,
                           line ? static_cast<Dialogs &>(lineDialogs) : dialogs,
                           clock,
                           files,
                           folder,
                           userFolder,
                           {},
                           scratch.filePath("state")},
                          timings)),
          frm(
              window,
              {state,
               clock,
               files,
               line ? static_cast<Dialogs &>(lineDialogs) : dialogs,
               folder,
               userFolder,
               ScannerTimings{std::chrono::milliseconds(100)},
               {},
               nullptr,
               line.get()},
              [this, folder] {
                  return std::make_unique<HTMLHelp>(viewer, dialogs, *registry, files, folder);
              },
              {}, [this](int code) { ends << code; })
    {
        dialogs.powerCycleAnswer = [] { return true; }; // no box to wait on
        // The chooser's Exit asks as the window's does.
        dialogs.chooserExitCheck = [this] { return frm.mayExit(); };
    }

    ~WindowRig()
    {
        if (!line)
            return;
        calls.windowGone();
        line->post([this] { state.link().closePort(); });
        line->stop();
    }

    // Runs job as the program does: on the line's thread, while this thread
    // runs the window until it is done. On one thread it simply runs.
    void onLine(const std::function<void()> &job)
    {
        if (!line) {
            job();
            return;
        }
        QEventLoop loop;
        line->post(job);
        line->whenIdle([&] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
        loop.exec();
    }

    MainState &makeState(std::unique_ptr<SerialPort> port, const MainServices &services,
                         const FlashTimings &timings)
    {
        if (!line) {
            madeState = std::make_unique<MainState>(std::move(port), services, timings);
            return *madeState;
        }
        port->moveToThread(line->thread());
        line->runNow([&] { madeState = std::make_unique<MainState>(std::move(port), services, timings); });
        return *madeState;
    }

    QTemporaryDir scratch;
    std::unique_ptr<Registry> registry =
        makeSettingsRegistry(scratch.filePath(QStringLiteral("registry.ini")));
    RecordingHelpViewer viewer;
    MainWindow window;
    ScriptedDialogs dialogs;
    LineClock realClock; // the handlers run here as on the line's thread
    std::unique_ptr<LineThread> line;
    Clock &clock; // the real one unless the test brings its own
    WindowCalls calls{window, clock};
    DialogsOnWindowThread lineDialogs;
    ViewOnWindowThread lineView;
    LocalFileSystem files;
    std::unique_ptr<MainState> madeState;
    MainState &state;
    MainWindowHandlers frm;
    QList<int> ends;
};

} // namespace romwright::test
