#pragma once
// The window and its handlers over the given port, with what the tests look
// at: the dialogs' script, the help viewer's calls and the exit codes.

#include "app/common/MainState.h"
#include "app/window/MainWindow.h"
#include "app/window/MainWindowHandlers.h"
#include "help/HTMLHelp.h"
#include "help/RecordingHelpViewer.h"
#include "platform/FileSystem.h"
#include "platform/QtClock.h"
#include "platform/Registry.h"
#include "support/ScriptedDialogs.h"
#include "support/UpdateWatch.h"

#include <QTemporaryDir>

namespace romwright::test {

struct WindowRig {
    WindowRig(std::unique_ptr<SerialPort> port, const QString &folder, const QString &userFolder,
              const FlashTimings &timings, Clock *manual = nullptr)
        : clock(manual ? *manual : realClock),
          state(std::move(port),
                {window, dialogs, clock, files, folder, userFolder, {}, scratch.filePath("state")}, timings),
          frm(
              window,
              {state, clock, files, dialogs, folder, userFolder,
               ScannerTimings{std::chrono::milliseconds(100)}},
              [this, folder] {
                  return std::make_unique<HTMLHelp>(viewer, dialogs, *registry, files, folder);
              },
              {}, [this](int code) { ends << code; })
    {
        dialogs.powerCycleAnswer = [] { return true; }; // no box to wait on
        // The chooser's Exit asks as the window's does.
        dialogs.chooserExitCheck = [this] { return frm.mayExit(); };
    }

    QTemporaryDir scratch;
    std::unique_ptr<Registry> registry =
        makeSettingsRegistry(scratch.filePath(QStringLiteral("registry.ini")));
    RecordingHelpViewer viewer;
    MainWindow window;
    ScriptedDialogs dialogs;
    QtClock realClock;
    Clock &clock; // the real one unless the test brings its own
    LocalFileSystem files;
    MainState state;
    MainWindowHandlers frm;
    QList<int> ends;
};

} // namespace romwright::test
