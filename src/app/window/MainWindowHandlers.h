#pragma once
// The main window's handlers and start-up: what each click, key and menu
// entry does, in terms of the layers below. The widgets are MainWindow's;
// the state that lives as long as the window is handed in.

#include "app/startup/FormLoad.h"
#include "app/startup/PortPermissionNotice.h"
#include "app/update/UnfinishedUpdate.h"
#include "app/window/FindFile.h"
#include "app/window/WaitLetterPrompt.h"
#include "app/window/WaitStatus.h"
#include "app/window/WindowCalls.h"
#include "app/window/WindowCommandLine.h"
#include "app/window/WindowEnding.h"
#include "flash/UpdateEvents.h"
#include "scanner/ScannerTimings.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace romwright {

// Said after "No scanner answered on the serial ports..." in the window.
inline constexpr const char *kSearchAgainHint =
    " A scanner that was off or not plugged in is found with Search Again in the Port menu.";

// Leaving while the scanner on the port has no firmware: %1 the model, %2 the
// port, then the way back, then the question.
inline constexpr const char *kNoFirmwareNow = "The %1 on port %2 has no firmware now.";
inline constexpr const char *kNoFirmwareWayBackRecord =
    " To finish the update, start the Romwright again and answer Yes when it offers to finish it.";
inline constexpr const char *kNoFirmwareWayBackNoRecord =
    " To finish the update, switch the scanner off and on, start the Romwright again and program it "
    "with the same file.";
inline constexpr const char *kExitAnyway = " Exit anyway?";
// The status line once start-up's identification has restarted the scanner.
inline constexpr const char *kWaitsInBootSoftware =
    "The scanner was restarted: it now waits in its boot software for the update.";
// The status line while an update offered at start-up is finished.
inline constexpr const char *kFinishingUpdate =
    "Finishing the interrupted update: waiting for the scanner's boot software…";

// A port given on the command line that the computer does not have; %1 its name.
inline constexpr const char *kMissingPort =
    "There is no %1 on this computer, so the scanner cannot be reached there. Check that the "
    "scanner's serial cable or USB adapter is plugged into the computer, then choose the scanner's "
    "port in the Port menu.";

// After "The Romwright timed out." for a scanner that answered before; %1 its port.
inline constexpr const char *kBootSoftwareSilent =
    "The scanner on %1 answered before, but its boot software did not greet. Switch the scanner off and "
    "on and try again.";
// After a stall's or a lost line's message; %1 the port.
inline constexpr const char *kScannerWasOn = "The scanner was on %1.";

// After No to finishing an interrupted update: %1 the model, %2 its port.
inline constexpr const char *kFinishLater =
    "The %1 on %2 has no firmware until its update is finished. Press PROGRAM to finish it now or "
    "later; the record is kept for the next start too. To drop it, choose File > Forget unfinished "
    "update.";
inline constexpr const char *kForgetRecord =
    "Forget the unfinished update of the %1 on %2? The scanner stays without firmware until it is "
    "updated again.";

class Dialogs;
class FileSystem;
class OpenQuestion;
class HTMLHelp;
class MainState;
class MainWindow;
class Registry;
class Scanner;
class Clock;
class LineThread;

// What the window works with for the whole run; owned by the caller.
struct WindowParts {
    MainState &state; // port, images, letters, flags and the handlers without widgets
    Clock &clock;
    const FileSystem &files;
    Dialogs &dialogs;
    QString programFolder;
    QString userDataFolder{}; // searched for firmware after the program folder
    ScannerTimings scannerTimings{};
    QStringList systemDataFolders{}; // searched after the user's data folder
    Registry *registry = nullptr;    // keeps the Open dialog's last folder
    // Where the handlers that talk to the scanner run; none: on the caller's
    // thread (the tests, which call them directly). clock is then its clock.
    LineThread *line = nullptr;
};

class MainWindowHandlers : public QObject {
    Q_OBJECT
public:
    // makeHelp creates m_Help on first use; aboutBox shows frmAbout modally;
    // endProgram ends the process with the given code once control is back
    // in the main event loop (the port is closed by then). Every wait that
    // runs when the program ends returns first.
    MainWindowHandlers(MainWindow &window, WindowParts parts,
                       std::function<std::unique_ptr<HTMLHelp>()> makeHelp, std::function<void()> aboutBox,
                       std::function<void(int code)> endProgram, QObject *parent = nullptr);
    ~MainWindowHandlers() override;

    // Start-up before the window is first shown. EndProgram: don't show it.
    FormLoadEnd Form_Load(const std::optional<WindowCommandLine> &commandLine);
    // Once the window is shown and usable: an unfinished update the user
    // chose at start-up to finish runs now, as PROGRAM runs it.
    void afterShown();

    // The handlers.
    void mnuCom_Click(int Index);
    void FindFile();
    // A file dropped on the window: opened as the Open dialog would, while
    // no update runs and nothing is searched.
    void fileDropped(const QString &path);
    void optProcessor_Click(int Index);
    void cmdProgram_Click();
    void ExitCommand_Click();
    void mnuAbout_Click();
    void mnuHelpViewHelp_Click();
    // File > Forget unfinished update: the record the user chose not to
    // finish at start-up goes, after a question.
    void mnuForgetRecord_Click();
    // F1 on the window: its own help page.
    void windowHelp();
    void Form_KeyUp(int KeyCode);
    // Port > Search Again: the scanner search of start-up once more, with the
    // window locked while it waits. Not while an update runs, nor once one
    // has been started (the scanner may wait in its boot software then,
    // where no search finds it; the COM entries reach it).
    void mnuSearchAgain_Click();
    bool maySearchAgain() const;
    // The window's close button: while an update runs the user is asked
    // first, otherwise as mayExit; false keeps the window open. The question
    // does not hold the update up: it is answered while the update goes on,
    // and Yes ends the program then.
    bool mayClose();
    // EXIT, Ctrl+Q, the close button and the chooser's Exit: a scanner on
    // the port known to have no firmware (a record of its unfinished update,
    // or an update in this run that ended after changing it) is said and
    // asked about, No the default; one left waiting in its boot software is
    // said. False keeps the program running.
    bool mayExit();
    void Form_Unload();
    // Port closed, program ended: status 1 when an update was cut short.
    void Form_Terminate();

    Scanner *cScann() const { return m_cScann.get(); }
    const QString &sFirmFile() const { return m_sFirmFile; }

private:
    // PROGRAM's update, the status line saying status meanwhile; the program
    // ends when the update says so.
    void runUpdate(const char *status);
    // File > Forget unfinished update again for record when it is still
    // kept after an update.
    void offerRecordAgain(const UnfinishedUpdate &record);
    // The update's end on the window, before its message; the run ends with it.
    void showUpdateEnding(const WindowEnding &ending);
    // A port given on the command line that this computer does not have:
    // said, shown as such, and PROGRAM waits for a port from the menu.
    void sayMissingPort(int n);
    // Nothing has come from port n in this run: which port, what to check.
    QString silentPortText(int n) const;
    // "port 1 (/dev/ttyUSB0)", "COM1": port n with its device where known.
    QString portOf(int n) const;
    // The device behind port n when n is the port open now, or none.
    QString openDevice(int n) const;
    bool heardFrom(int n) const;
    // FormLoad with the status line telling its waits.
    StartUpResult startUp(const StartUpRequest &request);
    HTMLHelp &help();
    void end(int code);
    // The close question, open while the update goes on; left is what
    // closing would leave the scanner with.
    void askToClose(const char *left);
    FindFileContext findFileContext();
    // A click's handler, on the line's thread when there is one. A Job
    // while another handler runs there does nothing; a menu's Request is
    // taken in by a running update's waits while it lets the menu be used.
    enum LineCall { Job, Request };
    void onLine(std::function<void()> handler, LineCall call = Job);

    MainWindow &m_window;
    WindowParts m_parts;
    WindowCalls m_onWindow; // what the handlers do to the window, on its thread
    std::function<std::unique_ptr<HTMLHelp>()> m_makeHelp;
    std::function<void()> m_aboutBox;
    std::function<void(int)> m_endProgram;

    std::unique_ptr<Scanner> m_cScann;
    std::unique_ptr<HTMLHelp> m_Help;
    WaitLetterPrompt m_prompt;
    PortPermissionNotice m_permissionNotice;
    WaitStatus m_status;
    QString m_filter; // the Open dialog's filter, kept between uses
    QString m_sFirmFile;
    std::optional<bool> m_processorLoaded;    // the processor whose firmware the last choice loaded
    bool m_finishing = false;                 // the user chose at start-up to finish an update
    bool m_portMissing = false;               // PROGRAM waits for a port chosen in the menu
    bool m_finishLater = false;               // No to finishing the record now
    std::optional<UnfinishedUpdate> m_record; // not finished at start-up, not forgotten
    std::optional<RunEnding> m_updateEnded;   // the update has ended the run
    QString m_waitText;                       // the click's own status
    QSet<int> m_heard;                        // the port numbers something has come from in this run
    bool m_ending = false;
    bool m_searching = false;
    bool m_terminating = false;                    // on the window's thread: closed, the line not yet ended
    std::unique_ptr<OpenQuestion> m_closeQuestion; // asked, not yet answered

    // What the window hears of an update beyond its controller: the status
    // line says each step as it begins; the update's own end message comes
    // next, which answers the close question.
    class UpdateListener : public UpdateEvents {
    public:
        explicit UpdateListener(MainWindowHandlers &handlers) : m_handlers(handlers) {}
        void step(UpdateStep step) override;
        void retrying() override { takeRequests(true); }
        void routeBegins() override { takeRequests(false); }
        void stopped(UpdateStop why) override
        {
            takeRequests(false);
            m_handlers.showUpdateEnding(windowStop(why));
        }
        void ended(Outcome outcome, UpdatePhase, const std::optional<UpdateFailure> &failure) override
        {
            m_handlers.showUpdateEnding(windowEnding(outcome, failure));
        }
        void finished(Outcome) override
        {
            takeRequests(false);
            m_handlers.m_onWindow([this] { m_handlers.m_closeQuestion.reset(); });
        }

    private:
        void takeRequests(bool take);
        MainWindowHandlers &m_handlers;
    };
    UpdateListener m_updateListener{*this};

    // What start-up tells the window and asks of it: the status line, and the
    // records and missing scanner in message boxes.
    class StartUpAnswers : public StartUpFrontEnd {
    public:
        StartUpAnswers(MainWindowHandlers &handlers, Dialogs &dialogs)
            : m_handlers(handlers), m_dialogs(dialogs)
        {
        }
        void openingPort(int typeOfScanner) override;
        void noScannerFound(const std::vector<int> &recordPorts) override;
        FinishAnswer offerToFinish(const UnfinishedUpdate &record, int othersLeft) override;
        RecordPick chooseAmongRecords(const std::vector<UnfinishedUpdate> &rivals, int othersLeft) override;
        void recordNotUsed(const UnfinishedUpdate &record, RecordedFile file) override;
        void recordDamaged(const DamagedRecord &damaged) override;
        void recordSetAside(const UnfinishedUpdate &record, const QString &text) override;

    private:
        MainWindowHandlers &m_handlers;
        Dialogs &m_dialogs;
    };
    StartUpAnswers m_startUpAnswers{*this, m_parts.dialogs};
};

} // namespace romwright
