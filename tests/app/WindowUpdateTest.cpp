// The window against romwright-sim on a pseudo-terminal: start-up as the
// window runs it, then whole updates clicked through PROGRAM.
#include "WindowRig.h"
#include "app/update/UnfinishedUpdate.h"
#include "app/update/UpdateMessages.h"
#include "app/window/WidgetDialogs.h"
#include "image/FlashLayout.h"
#include "platform/PortMap.h"
#include "platform/PosixSerialPort.h"
#include "scanner/Scanner.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;
using romwright::test::SimProcess;

namespace {

// The restarted scanner's answer follows the completion.
const QString kComplete = QStringLiteral(
    "The firmware update is complete. The Romwright will now exit.\n\nThe scanner answers as Halvern 1450.");

// The window over a real serial port, the simulator as COM1.
struct SimRig : test::WindowRig {
    explicit SimRig(const SimProcess &sim, const FlashTimings &timings = FlashTimings{}.scaled(0.1),
                    Threads threads = OneThread)
        : WindowRig(std::make_unique<PosixSerialPort>(PortMap::fromList(sim.link())), test::programDir(),
                    test::sampleDir(), timings, nullptr, threads)
    {
        // The simulator takes the bytes it reads together with a rate change
        // as sent before it; a busy machine may wake it later than the
        // program's few quiet milliseconds after the change.
        PosixSerialPort::setPseudoTerminalQuiet(200ms);
    }
    // Start-up on the line's thread (OnLine), as the program runs it.
    FormLoadEnd loadOnLine(const std::optional<WindowCommandLine> &commandLine = std::nullopt)
    {
        FormLoadEnd loaded = FormLoadEnd::EndProgram;
        onLine([&] { loaded = frm.Form_Load(commandLine); });
        return loaded;
    }
    FormLoadEnd load(const QString &file, const QString &port = QStringLiteral("1"),
                     const QString &model = QStringLiteral("Halvern 1450"))
    {
        return loadOnLine(WindowCommandLine{file, port, model});
    }
    // A click on PROGRAM, and what it starts run to its end.
    void program()
    {
        window.findChild<QPushButton *>("cmdProgram")->click();
        onLine([] {});
    }
};

// The flash the simulator dumped at its end holds the loaded file's image.
void expectFlashHolds(const SimProcess &sim, MainState &state)
{
    const QByteArray flash = sim.dump();
    ASSERT_EQ(flash.size(), 65536);
    const MemoryImage &image = state.firmware().FirmwareImage;
    for (const FlashBlock &block : state.firmware().FlashBlocks64)
        EXPECT_TRUE(
            isErased(block, image) ||
            flash.mid(block.Address, block.Length) ==
                QByteArray(reinterpret_cast<const char *>(image.data() + block.Address), block.Length))
            << block.Address;
}

const QString kCloseAnyway = QStringLiteral(
    "An update is running. If you close the Romwright now, the scanner keeps its boot software "
    "and has no firmware until the update is run again. Close anyway?");

const QString kLeftInBoot = QStringLiteral(
    "The scanner is waiting in its boot software and cannot scan until it is switched off and on.");

// A record of an unfinished update of Hlv1450ver5_9.s19 on the given port.
bool saveRecord(SimRig &rig, const SimProcess &sim, int port, const QDateTime &when)
{
    const QString file = test::sampleDir() + QStringLiteral("/Hlv1450ver5_9.s19");
    const QByteArray bytes = rig.files.read(file).bytes;
    return UnfinishedUpdates(rig.state.services().stateFolder)
        .save({port, sim.link(), QStringLiteral("Halvern 1450"), false, 'Q', file, bytes.size(),
               sha256Hex(bytes), when});
}

// The transcript's lines of what the program sent.
QStringList sent(const QString &transcript)
{
    QStringList lines;
    for (const QString &line : transcript.split(QLatin1Char('\n')))
        if (line.simplified().section(QLatin1Char(' '), 1, 1) == QLatin1String("in"))
            lines << line.simplified();
    return lines;
}

} // namespace

// FILE,PORT,MODEL with a scanner that answers as another model asks once,
// saying the risk. Yes keeps the model given; No shows the model the scanner
// answered as, asks nothing about the file and leaves PROGRAM disabled until
// another file is opened.
TEST(WindowStartUp, AModelTheScannerDoesNotAnswerAsIsAskedAbout)
{
    for (const bool yes : {true, false}) {
        SimProcess sim({"--model", "jorlith"});
        SimRig rig(sim);
        rig.dialogs.questionAnswers = {yes, true};
        ASSERT_EQ(rig.load(QStringLiteral("Hlv1450ver5_9.s19")), FormLoadEnd::Ready);
        ASSERT_EQ(rig.dialogs.questions.size(), 1u);
        EXPECT_EQ(rig.dialogs.questions[0].text,
                  QStringLiteral("The scanner on port 1 answers as Jorlith 750, not Halvern 1450. Halvern "
                                 "firmware in a Jorlith 750 leaves it unable to scan. Go on with the "
                                 "Halvern 1450 all the same?"));
        EXPECT_EQ(rig.window.text(LabelId::ScanMod), yes ? "Halvern 1450" : "Jorlith 750");
        EXPECT_EQ(rig.window.isControlEnabled(ControlId::ProgramButton), yes);
        EXPECT_TRUE(rig.ends.isEmpty());
        if (yes)
            continue;
        rig.dialogs.openAnswers = {test::sampleDir() + QStringLiteral("/JL750Ver6_0.s19")};
        rig.frm.FindFile();
        EXPECT_TRUE(rig.window.isControlEnabled(ControlId::ProgramButton));
        EXPECT_EQ(rig.dialogs.questions.size(), 1u);
    }
    // An answer that is not exactly a model's is no question: it is said,
    // and PROGRAM asks again and says it again; the scanner hears "V" CR LF
    // alone. The window's start-up and its PROGRAM on the line's own thread.
    SimProcess sim({"--model", "jorlith", "--answer", "JL 750OK\\n"});
    SimRig rig(sim, FlashTimings{}.scaled(0.1), SimRig::OnLine);
    ASSERT_EQ(rig.load(QStringLiteral("Hlv1450ver5_9.s19")), FormLoadEnd::Ready);
    rig.program();
    EXPECT_TRUE(rig.dialogs.questions.empty());
    ASSERT_EQ(rig.dialogs.messages.size(), 2u);
    EXPECT_EQ(rig.dialogs.messages[1].text, rig.dialogs.messages[0].text);
    EXPECT_TRUE(
        rig.dialogs.messages[0].text.startsWith(R"(The scanner on port 1 answers "JL 750OK\n", which)"));
    sim.stop();
    EXPECT_EQ(sent(sim.transcript()).filter(QRegularExpression(" 0x(56|0D|0A) ")).size(),
              sent(sim.transcript()).size());
}

// The record an interrupted update left is offered at the next start, Yes
// the default; Yes takes its port, model and file and runs the update as soon
// as the window is shown, the status line saying so. Left to run, it fills
// the flash and removes the record; closing the window during it asks, and
// Yes ends with status 1 and keeps the record, under the number its device
// has now.
TEST(WindowUpdate, AnInterruptedUpdateIsFinishedAtOnceAfterYes)
{
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close);
        SimProcess sim({"--start-in-boot", "--boot", "Q"}); // waiting in its boot software, as after Ctrl-C
        SimRig rig(sim, FlashTimings{}.scaled(0.1), SimRig::OnLine);
        const UnfinishedUpdates records(rig.state.services().stateFolder);
        // Made when its device was port 2; it is port 1 now.
        ASSERT_TRUE(saveRecord(rig, sim, 2, QDateTime(QDate(2026, 12, 1), QTime(9, 30))));
        rig.dialogs.questionAnswers = {true, true};
        ASSERT_EQ(rig.loadOnLine(), FormLoadEnd::Ready);
        ASSERT_EQ(rig.dialogs.questions.size(), 1u);
        EXPECT_EQ(
            rig.dialogs.questions[0].text,
            QStringLiteral("An update of the Halvern 1450 on port 2 was interrupted on 2026-12-01 09:30. "
                           "Finish it now?"));
        EXPECT_EQ(rig.dialogs.questions[0].title, QStringLiteral("Unfinished Update"));
        EXPECT_EQ(rig.window.text(LabelId::FirmFile), QStringLiteral("Hlv1450ver5_9.s19"));
        rig.window.show();
        QString status; // as the update asks for the boot software
        test::UpdateWatch steps{rig.state.update()};
        steps.onStep = [&](UpdateStep step) {
            if (step == UpdateStep::Request)
                status = rig.calls([&] { return rig.window.status(); });
        };
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (close && rig.window.isUpdatingNoteVisible() && rig.ends.isEmpty())
                rig.window.close();
        });
        watch.start(5);
        rig.onLine([&] { rig.frm.afterShown(); }); // nothing clicked
        rig.onLine([] {});                         // and a close's own end with it
        EXPECT_TRUE(status.startsWith(QLatin1String("Finishing the interrupted update")))
            << qPrintable(status);

        if (!close) {
            ASSERT_EQ(rig.dialogs.messages.size(), 1u);
            EXPECT_EQ(rig.dialogs.messages[0].text, kComplete);
            EXPECT_EQ(rig.ends, QList<int>{0});
            EXPECT_TRUE(records.all().empty());
            ASSERT_TRUE(sim.waitForExit());
            expectFlashHolds(sim, rig.state);
            continue;
        }
        ASSERT_EQ(rig.dialogs.questions.size(),
                  2u); // its words: TheTransferGoesOnWhileTheCloseQuestionIsOpen
        EXPECT_EQ(rig.ends, QList<int>{1});
        EXPECT_FALSE(rig.state.MSComm1().portOpen());
        // The wait returned at the close and the route unwound without another
        // write: no message about the lost scanner, and the update is over.
        EXPECT_TRUE(rig.dialogs.messages.empty());
        EXPECT_FALSE(rig.state.update().running());
        // The update's own record, on the port it runs on, is the only one.
        ASSERT_EQ(records.all().size(), 1u);
        EXPECT_EQ(records.all().front().port, 1);
    }
}

// No to finishing at start-up: the window shows the record's model and port
// all the same, says in a few words how to finish or drop it, and runs
// nothing by itself; PROGRAM finishes it, File > Forget unfinished update
// drops the record after a question, and is offered again after a PROGRAM
// that stopped before it began (no port open).
TEST(WindowStartUp, AnUpdateNotFinishedAtStartUpIsFinishedByProgramOrForgotten)
{
    enum Then { Program, Forget, StoppedThenForget };
    for (const Then then : {Program, Forget, StoppedThenForget}) {
        SCOPED_TRACE(then);
        const bool forget = then != Program;
        SimProcess sim({"--start-in-boot", "--boot", "Q"});
        SimRig rig(sim);
        const UnfinishedUpdates records(rig.state.services().stateFolder);
        ASSERT_TRUE(saveRecord(rig, sim, 1, QDateTime::currentDateTime()));
        rig.dialogs.questionAnswers = {false, true};
        ASSERT_EQ(rig.frm.Form_Load(std::nullopt), FormLoadEnd::Ready);
        EXPECT_EQ(rig.window.text(LabelId::ScanMod), QStringLiteral("Halvern 1450"));
        EXPECT_EQ(rig.window.text(LabelId::Port), QStringLiteral("1"));
        ASSERT_EQ(rig.dialogs.messages.size(), 1u);
        EXPECT_TRUE(rig.dialogs.messages[0].text.startsWith(
            QLatin1String("The Halvern 1450 on port 1 has no firmware until its update is finished.")));
        EXPECT_TRUE(rig.window.isControlEnabled(ControlId::ProgramButton));
        auto *forgetEntry = rig.window.findChild<QAction *>("mnuForgetRecord");
        EXPECT_TRUE(forgetEntry->isVisible());
        rig.frm.afterShown();
        EXPECT_TRUE(rig.ends.isEmpty());
        if (then == StoppedThenForget) {
            rig.frm.mnuCom_Click(2); // nothing there: no port is open
            rig.frm.cmdProgram_Click();
            EXPECT_EQ(rig.dialogs.messages.back().title, QStringLiteral("Communications Failure"));
            EXPECT_EQ(records.all().size(), 1u);
            EXPECT_TRUE(forgetEntry->isVisible());
        }
        if (forget) {
            forgetEntry->trigger();
            EXPECT_EQ(rig.dialogs.questions.size(), 2u);
            EXPECT_TRUE(records.all().empty());
            EXPECT_FALSE(forgetEntry->isVisible());
            continue;
        }
        rig.program();
        EXPECT_EQ(rig.dialogs.messages.back().text, kComplete);
        EXPECT_TRUE(records.all().empty());
        ASSERT_TRUE(sim.waitForExit());
        expectFlashHolds(sim, rig.state);
    }
}

// What leaving says, by what is known of the scanner on the port: a record of
// its unfinished update, or an update of this run cut short after the erase,
// is said and asked about, No keeping the program running; one only restarted
// into its boot software is said; a silent one is not. EXIT, Ctrl+Q, the close
// box and the chooser's Exit all alike.
TEST(WindowExit, EveryWayOutSaysWhatTheScannerIsLeftWith)
{
    const QString noFirmware =
        QStringLiteral("The Halvern 1450 on port 1 has no firmware now. To finish the update, ");
    const QString exitAnyway = QStringLiteral(" Exit anyway?");
    struct Row {
        const char *what;
        QStringList sim;
        QString asked;      // the question, else
        QString said;       // the message, else nothing
        QString model = {}; // named with the port
    };
    const Row rows[] = {
        {"record",
         {"--start-in-boot", "--boot", "Q"},
         noFirmware + "start the Romwright again and answer Yes when it offers to finish it." + exitAnyway,
         {}},
        {"erased in this run",
         {"--boot", "Q", "--stall-after", "30"},
         noFirmware +
             "switch the scanner off and on, start the Romwright again and program it with the same file." +
             exitAnyway,
         {}},
        {"boot software only", {"--boot", "Q", "--silent"}, {}, kLeftInBoot},
        // Its record, made before the restart, goes: no later start offers to finish it.
        {"boot software only, the model named", {"--boot", "Q"}, {}, kLeftInBoot, "Halvern 1450"},
        {"nothing answered", {"--silent", "--greet-late", "60000"}, {}, {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        SimProcess sim(row.sim);
        SimRig rig(sim);
        const QString state = rig.state.services().stateFolder;
        const bool erased = row.sim.contains(QLatin1String("--stall-after"));
        if (row.sim.contains(QLatin1String("--start-in-boot"))) {
            ASSERT_TRUE(saveRecord(rig, sim, 1, QDateTime::currentDateTime()));
        }
        if (erased) { // and no record of it: the state folder cannot be made
            ASSERT_TRUE(QFile(state).open(QIODevice::WriteOnly));
        }
        ASSERT_EQ(rig.load(QStringLiteral("Hlv1450ver5_9.s19"), QStringLiteral("1"), row.model),
                  FormLoadEnd::Ready);
        rig.window.show();
        if (erased) {
            rig.program(); // the chooser: Halvern 1450; then the stall
            ASSERT_EQ(rig.state.update().phase(), UpdatePhase::NoFirmware);
            ASSERT_EQ(rig.window.text(LabelId::ScanMod), QStringLiteral("Halvern 1450"));
        }
        rig.dialogs.messages.clear();
        const QList<int> endsBefore = rig.ends;

        const std::pair<const char *, std::function<void()>> ways[] = {
            {"the chooser's Exit",
             [&] {
                 rig.dialogs.chooserAnswers = {std::nullopt, QString()}; // Exit, and after No closed
                 rig.program();
             }},
            {"Ctrl+Q", [&] { rig.window.findChild<QAction *>("mnuFileExit")->trigger(); }},
            {"EXIT", [&] { rig.window.findChild<QPushButton *>("ExitCommand")->click(); }},
            {"the close box", [&] { rig.window.close(); }},
        };
        for (std::size_t i = 0; i < std::size(ways); ++i) {
            const auto &[way, leave] = ways[i];
            SCOPED_TRACE(way);
            // The stall left EXIT and Ctrl+Q disabled and the model known (no chooser).
            if ((erased && i != std::size(ways) - 1) || (!row.model.isEmpty() && i == 0))
                continue;
            const std::size_t asked = rig.dialogs.questions.size();
            rig.dialogs.questionAnswers = {false};
            leave();
            ASSERT_EQ(rig.dialogs.questions.size(), asked + (row.asked.isEmpty() ? 0 : 1));
            if (!row.asked.isEmpty()) {
                EXPECT_EQ(rig.dialogs.questions.back().text, row.asked);
                EXPECT_EQ(rig.dialogs.questions.back().icon, MessageIcon::Exclamation);
                EXPECT_EQ(rig.ends, endsBefore); // No: still running
                continue;
            }
            EXPECT_FALSE(rig.ends.isEmpty());
            ASSERT_EQ(rig.dialogs.messages.size(), row.said.isEmpty() ? 0u : 1u);
            if (!row.said.isEmpty()) {
                EXPECT_EQ(rig.dialogs.messages[0].text, row.said);
            }
            rig.dialogs.messages.clear();
            EXPECT_TRUE(UnfinishedUpdates(state).all().empty());
        }
        if (!row.asked.isEmpty()) {
            rig.dialogs.questionAnswers = {true};
            EXPECT_TRUE(rig.window.close());
            EXPECT_EQ(rig.ends, erased ? QList<int>{1} : QList<int>{0});
        }
    }
}

// A port named by hand where nothing answers is said at start-up with what
// to check, and the model shows as unknown (its time-out after PROGRAM:
// WindowFailuresTest).
TEST(WindowStartUp, ASilentPortNamedByHandIsSaidWithWhatToCheck)
{
    SimProcess sim({"--silent", "--greet-late", "60000"});
    SimRig rig(sim);
    ASSERT_EQ(rig.load(QStringLiteral("Hlv1450ver5_9.s19"), QStringLiteral("1"), QString()),
              FormLoadEnd::Ready);
    const QString advice =
        QStringLiteral("Nothing answered on port 1 (%1). Check that the scanner is switched on, that "
                       "its serial cable is plugged in at both ends, and that port 1 is the one "
                       "the cable is plugged into.")
            .arg(sim.link());
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0].text, advice);
    EXPECT_EQ(rig.dialogs.messages[0].title, QStringLiteral("Scanner Not Found"));
    EXPECT_EQ(rig.window.text(LabelId::ScanMod), QStringLiteral("Unknown"));
    EXPECT_TRUE(rig.window.status().isEmpty()); // nothing greeted: nothing restarted
}

TEST(WindowUpdate, FoundScannerProgrammedThroughTheWindow)
{
    // The first greeting of the update does not come: the File menu opens
    // for the retry, and the file chosen there is the one programmed.
    SimProcess sim({"--model", "halvern", "--boot", "Q", "--greet-late", "50", "--unanswered-request", "3"});
    SimRig rig(sim, FlashTimings{}.scaled(0.1), SimRig::OnLine);

    ASSERT_EQ(rig.loadOnLine(), FormLoadEnd::Ready);
    EXPECT_EQ(rig.window.status(), QString::fromUtf8(kWaitsInBootSoftware)); // greeted at start-up
    EXPECT_TRUE(rig.frm.cScann()->receiveHandling()); // the scanner's own "R1" is answered while idle
    ASSERT_TRUE(rig.window.isControlEnabled(ControlId::ProgramButton));
    rig.window.show(); // closing asks the platform window
    // The user opens another file as soon as the File menu is usable.
    // The update, waiting for the greeting, takes the file in.
    bool opened = false;
    bool openedFileShown = false;
    QAction *fileMenu = rig.window.findChild<QMenu *>("mnuFile")->menuAction();
    QObject::connect(fileMenu, &QAction::changed, [&] {
        if (opened && !fileMenu->isEnabled() && !openedFileShown) // the route begins
            openedFileShown = rig.window.lamp(LampId::FileOk) == Lamp::Green &&
                              !rig.window.isControlEnabled(ControlId::ProgramButton);
        if (opened || !fileMenu->isEnabled())
            return;
        opened = true;
        QTimer::singleShot(0, [&] {
            rig.dialogs.openAnswers = {test::sampleDir() + QStringLiteral("/Hlv1450Uver6_0.s19")};
            rig.window.findChild<QAction *>("mnuFileOpen")->trigger();
        });
    });

    // Look at the window once a third of the blocks are sent.
    // The record of the update cannot be removed from then on (as in a state
    // folder turned read-only, which would not stop root): said, and the
    // update completes all the same.
    const QString record = UnfinishedUpdates(rig.state.services().stateFolder).pathFor(1);
    QStringList notRemoved;
    rig.state.recorder().recordNotRemoved = [&](const QString &path) { notRemoved << path; };
    bool sawProgress = false;
    auto *bar = rig.window.findChild<QProgressBar *>("prgBlocks");
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        if (!sawProgress && !bar->isHidden() && value > bar->maximum() / 3) {
            sawProgress = true;
            EXPECT_TRUE(QFile::remove(record) && QDir().mkpath(record + QStringLiteral("/kept")));
            EXPECT_FALSE(rig.frm.cScann()->receiveHandling()); // only the update reads the port
            EXPECT_FALSE(rig.window.isControlEnabled(ControlId::ExitButton));
        }
    });

    rig.dialogs.questionAnswers = {true};
    rig.program();

    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages.back().text, kComplete);
    EXPECT_EQ(rig.ends, QList<int>{0});
    EXPECT_TRUE(openedFileShown);
    EXPECT_TRUE(sawProgress);
    EXPECT_EQ(notRemoved, QStringList{record});
    // The file opened during the retry is for the 128-byte boot software:
    // asked about once before the route (Yes).
    ASSERT_EQ(rig.dialogs.questions.size(), 1u);
    EXPECT_EQ(rig.dialogs.questions[0].title, QStringLiteral("Firmware Check"));

    ASSERT_TRUE(sim.waitForExit());
    // The file opened during the retry is the one in the scanner's flash, and the one the update log names.
    expectFlashHolds(sim, rig.state);
    QFile updates(rig.scratch.filePath(QStringLiteral("state/updates.jsonl")));
    ASSERT_TRUE(updates.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(updates.readLine()).object().value(QLatin1String("file")),
              test::sampleDir() + QStringLiteral("/Hlv1450Uver6_0.s19"));
    // After "z" only the route's own bytes: no request, no switch to 19200, no
    // broken record. Only what the program sent counts: the scanner's chatter
    // once the port is closed crosses at whatever rate the line was left at.
    const QString log = sim.transcript();
    const qsizetype z = log.indexOf(QLatin1String("in  0x7A 'z'"));
    ASSERT_GE(z, 0) << log.toStdString();
    const QString route = sent(log.mid(z)).join(QLatin1Char('\n'));
    EXPECT_TRUE(route.contains(QLatin1String("0x50 'P' 38400"))) << log.mid(z).toStdString();
    for (const char *stray : {"request", "19200", "rejected", "garbage"})
        EXPECT_FALSE(route.contains(QLatin1String(stray))) << stray << "\n" << log.mid(z).toStdString();
}

// The close box during the firmware pass at the line's own rate: the
// question's real box stays up while blocks go on being sent. Yes then ends
// the program as a close did, with status 1 and the update's record kept;
// left open, the box is up, and the status line tells the wait, until the
// update ends, and then gives way to the update's own message.
TEST(WindowUpdate, TheTransferGoesOnWhileTheCloseQuestionIsOpen)
{
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        SimProcess sim({"--model", "halvern", "--boot", "Q", "--line-rate"});
        SimRig rig(sim);
        WidgetDialogs boxes(&rig.window);
        rig.dialogs.askThrough = &boxes;
        ASSERT_EQ(rig.load(QStringLiteral("Hlv1450ver5_9.s19")), FormLoadEnd::Ready);
        rig.window.show();
        auto *bar = rig.window.findChild<QProgressBar *>("prgBlocks");
        auto openBox = [] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); };
        int askedAt = -1;
        int answeredAt = -1;
        QString asked;
        QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
            if (askedAt < 0 && rig.window.isUpdatingNoteVisible() && value >= 10) {
                askedAt = value;
                EXPECT_FALSE(rig.window.close()); // asked, not yet answered
                if (QMessageBox *box = openBox()) {
                    asked = box->text();
                    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
                }
            } else if (QMessageBox *box = openBox(); yes && box && answeredAt < 0 && value >= askedAt + 20) {
                answeredAt = value; // twenty blocks sent with the question up
                box->button(QMessageBox::Yes)->click();
            }
        });
        // A transfer held up by the question would never get there: No lets it go on.
        QTimer stuck;
        stuck.setSingleShot(true);
        QObject::connect(&stuck, &QTimer::timeout, [&] {
            if (QMessageBox *box = openBox())
                box->button(QMessageBox::No)->click();
        });
        stuck.start(30s);
        UpdateSequence &update = rig.state.update();
        QString statusAtEnd; // with the box up
        test::UpdateWatch watch{update};
        watch.onFinished = [&](Outcome) {
            statusAtEnd = openBox() ? rig.window.status() : QStringLiteral("no box");
        };
        rig.program();

        ASSERT_GE(askedAt, 0);
        EXPECT_EQ(asked, kCloseAnyway);
        if (yes) {
            EXPECT_GE(answeredAt, askedAt + 20) << askedAt;
            EXPECT_EQ(rig.ends, QList<int>{1});
            EXPECT_FALSE(rig.state.MSComm1().portOpen());
            EXPECT_FALSE(update.running());
            EXPECT_TRUE(rig.dialogs.messages.empty());
            EXPECT_EQ(UnfinishedUpdates(rig.state.services().stateFolder).all().size(), 1u);
            continue;
        }
        EXPECT_EQ(statusAtEnd, QString::fromUtf8(kWaitingForRestart));
        EXPECT_EQ(openBox(), nullptr); // withdrawn
        ASSERT_EQ(rig.dialogs.messages.size(), 1u);
        EXPECT_EQ(rig.dialogs.messages[0].text, kComplete);
        EXPECT_EQ(rig.ends, QList<int>{0});
        ASSERT_TRUE(sim.waitForExit());
        expectFlashHolds(sim, rig.state);
    }
}

// No model (the port chosen by hand) and a scanner that does not say which
// it is: PROGRAM asks which scanner it is before the check; the chooser
// closed cancels the click (its Exit: WindowExit). Neither a file asked
// about nor a loader sends anything.
TEST(WindowUpdate, WithoutAModelProgramAsksTheChooserFirst)
{
    SimProcess sim({"--boot", "Q", "--silent"});
    SimRig rig(sim);
    ASSERT_EQ(rig.frm.Form_Load(WindowCommandLine{"Hlv1450ver5_9.s19", "1", QString()}), FormLoadEnd::Ready);
    rig.dialogs.chooserAnswers = {QString(), QStringLiteral("Wexmoor 3650")};
    rig.program(); // closed: nothing asked, nothing sent
    EXPECT_EQ(rig.dialogs.chooserShown, 1);
    EXPECT_TRUE(rig.dialogs.questions.empty());
    EXPECT_TRUE(rig.window.isControlEnabled(ControlId::ProgramButton));
    EXPECT_TRUE(rig.window.text(LabelId::ScanMod).isEmpty());

    rig.program(); // a Wexmoor: Main ticked, the Halvern file asked about (No)
    EXPECT_EQ(rig.window.text(LabelId::ScanMod), QStringLiteral("Wexmoor 3650"));
    EXPECT_EQ(rig.window.processorTicked(), 0);
    ASSERT_EQ(rig.dialogs.questions.size(), 1u);
    EXPECT_TRUE(rig.dialogs.questions[0].text.endsWith(
        QLatin1String("but the scanner is a Wexmoor 3650. Program it anyway?")));
    EXPECT_EQ(rig.dialogs.questions[0].icon, MessageIcon::Exclamation);
    for (ControlId id : {ControlId::FileMenu, ControlId::ExitButton, ControlId::ProgramButton})
        EXPECT_TRUE(rig.window.isControlEnabled(id)); // to click again
    rig.program();                                    // the model is known now: asked again, not chosen again
    EXPECT_EQ(rig.dialogs.chooserShown, 2);
    // A loader file is refused outright, without a question.
    rig.dialogs.openAnswers = {test::sampleDir() + QStringLiteral("/bootloader.sss")};
    rig.frm.FindFile();
    rig.program();
    EXPECT_EQ(rig.dialogs.questions.size(), 2u);
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_TRUE(
        rig.dialogs.messages[0].text.startsWith(QLatin1String("The file bootloader.sss is a loader")));
    EXPECT_TRUE(rig.ends.isEmpty());
    sim.stop();
    // The identity at each rate once (start-up asked it; PROGRAM took that
    // answer), then start-up's request and nothing else.
    QString heard; // the printable bytes
    for (const QString &line : sent(sim.transcript()))
        if (line.section(QLatin1Char(' '), 3, 3).startsWith(QLatin1Char('\'')))
            heard += line.section(QLatin1Char(' '), 3, 3);
    EXPECT_EQ(heard, QStringLiteral("'V''V''R''2'"));
}

// PROGRAM's click holds the window until its update has ended: a second
// click, Return on PROGRAM and a menu's key (Ctrl+O), pressed over and over
// while the scanner's identity is asked, while the chooser is open and while
// another processor's boot software is identified, start nothing. The line
// carries the requests of one update after start-up's, and one firmware pass.
TEST(WindowUpdate, NothingPressedDuringAnUpdateStartsAnother)
{
    const struct {
        const char *step;
        QStringList sim;
        QString port, model;  // a Wexmoor's BarCode processor is chosen after start-up
        const char *requests; // start-up's, then the click's: "R2", "R4" and the pass's "z"
    } rows[] = {
        // clang-format off
        {"identity question", {"--boot", "Q", "--answer-delay", "300"}, "", "", "R2R2z"},
        {"chooser", {"--boot", "Q", "--silent"}, "1", "", "R2R2R2z"},
        {"added identification", {"--model", "wexmoor", "--boot", "A", "--boot-r4", "Q"}, "1", "Wexmoor 3650", "R2R2R4R4R4z"},
        // clang-format on
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.step);
        SimProcess sim(row.sim);
        SimRig rig(sim, FlashTimings{}.scaled(0.1), SimRig::OnLine);
        rig.onLine([&] { rig.frm.Form_Load(WindowCommandLine{QString(), row.port, row.model}); });
        rig.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
        auto *program = rig.window.findChild<QPushButton *>("cmdProgram");
        const std::function<void()> presses[] = {
            [&] { program->click(); }, [&] { QTest::keyClick(program, Qt::Key_Return); },
            [&] { QTest::keyClick(&rig.window, Qt::Key_O, Qt::ControlModifier); }};
        int pressed = 0;
        auto press = [&] { presses[pressed++ % 3](); };
        rig.dialogs.chooserAnswers = {std::nullopt, QStringLiteral("Halvern1450")};
        rig.dialogs.chooserExitCheck = [&] { // Exit refused: pressed with the chooser open
            for (int i = 0; i < 3; ++i)
                press();
            return false;
        };
        rig.onLine([&] { rig.frm.mnuCom_Click(1); });
        const bool barCode = !row.model.isEmpty();
        if (barCode)
            rig.window.findChild<QRadioButton *>("optProcessor1")->click();
        rig.dialogs.openAnswers = {test::sampleDir() + (barCode ? QStringLiteral("/WX3650UVer1_9.s20")
                                                                : QStringLiteral("/Hlv1450ver5_9.s19"))};
        rig.onLine([&] { rig.frm.FindFile(); });
        QTimer again;
        QObject::connect(&again, &QTimer::timeout, press);
        again.start(2);
        rig.program();
        again.stop();
        EXPECT_GT(pressed, 30);
        EXPECT_EQ(rig.dialogs.openRequests.size(), 1);
        ASSERT_FALSE(rig.dialogs.messages.empty());
        EXPECT_TRUE(rig.dialogs.messages.back().text.startsWith(QLatin1String(messages::kComplete)));
        EXPECT_EQ(rig.ends, QList<int>{0});
        sim.stop();
        QString requests; // the letters sent, then their requests and "z"
        for (const QString &line : sent(sim.transcript()))
            requests += line.section(QLatin1Char(' '), 3, 3).mid(1, 1);
        requests.remove(QRegularExpression(QStringLiteral("R(?![24])|[^Rz24]|(?<!R)[24]")));
        EXPECT_EQ(requests, QLatin1String(row.requests));
    }
}

// Port > Search Again after a start-up that searched nowhere: the window is
// locked while the ports are tried (a second Search Again, F1 and Ctrl+Q do
// nothing), then shows the scanner found with its port and newest firmware.
// The letter awaited stays as it was. Once PROGRAM has been pressed there is
// no more search.
TEST(WindowStartUp, SearchAgainFindsTheScannerWithTheWindowLocked)
{
    SimProcess sim({"--model", "halvern", "--boot", "Q"});
    SimRig rig(sim);
    ASSERT_EQ(rig.frm.Form_Load(WindowCommandLine{QString(), QString(), QString()}), FormLoadEnd::Ready);
    rig.window.show();
    auto *searchAgain = rig.window.findChild<QAction *>("mnuSearchAgain");
    int exits = 0;
    QObject::connect(&rig.window, &MainWindow::exitClicked, [&] { ++exits; });
    // The search hides the Port menu as it finds the scanner: a look then.
    bool sawLocked = false;
    QAction *portMenu = rig.window.findChild<QMenu *>("mnuComPort")->menuAction();
    QObject::connect(portMenu, &QAction::changed, [&] {
        if (sawLocked || portMenu->isVisible())
            return;
        sawLocked = rig.window.isLocked() && !rig.window.findChild<QWidget *>("cmdProgram")->isEnabled() &&
                    rig.window.status().startsWith(QString::fromUtf8(kSearchingPorts));
        searchAgain->trigger();
        for (const char *shortcut : {"mnuFileExit", "mnuHelpViewHelp"}) // Ctrl+Q, F1
            rig.window.findChild<QAction *>(shortcut)->trigger();
    });
    rig.state.target().sLetterQ = QStringLiteral("X"); // as the hidden prompt may leave it: kept
    searchAgain->trigger();
    EXPECT_EQ(rig.state.target().sLetterQ, QStringLiteral("X"));
    EXPECT_TRUE(sawLocked);
    EXPECT_EQ(exits, 0);
    EXPECT_TRUE(rig.viewer.calls.empty());
    EXPECT_FALSE(rig.window.isLocked());
    EXPECT_EQ(rig.window.text(LabelId::ScanMod), QStringLiteral("Halvern 1450"));
    EXPECT_EQ(rig.window.text(LabelId::Port), QStringLiteral("1"));
    EXPECT_EQ(rig.window.text(LabelId::FirmFile), QStringLiteral("Hlv1450ver5_9.s19"));
    EXPECT_TRUE(rig.window.isControlEnabled(ControlId::ProgramButton));
    EXPECT_TRUE(rig.frm.cScann()->receiveHandling());
    EXPECT_TRUE(rig.frm.maySearchAgain());
    rig.state.flags().bProgramming = true;
    EXPECT_FALSE(rig.frm.maySearchAgain());
}

// A Wexmoor's processors may have different boot software. Start-up asks
// the Main one; the BarCode one, chosen afterwards, is asked for its own
// before its update, with waits of its own: whatever start-up's waits
// missed, none of them is taken as a second time-out, and the update completes.
TEST(WindowUpdate, AProcessorChosenAfterStartUpIsIdentifiedBeforeItsUpdate)
{
    for (const char *main : {"Q", "A", "Z"})
        for (const char *barCode : {"Q", "A", "Z"}) {
            SCOPED_TRACE(std::string("Main ") + main + ", BarCode " + barCode);
            SimProcess sim({"--model", "wexmoor", "--boot", main, "--boot-r4", barCode});
            FlashTimings timings = FlashTimings{}.scaled(0.1);
            if (*main == 'Z') // the old boot software says "Z" every 500 ms: its wait takes its 3.5 s
                timings.waitForZInterval = FlashTimings{}.waitForZInterval;
            SimRig rig(sim, timings);
            ASSERT_EQ(rig.load(QString(), QStringLiteral("1"), QStringLiteral("Wexmoor 3650")),
                      FormLoadEnd::Ready);
            EXPECT_EQ(rig.state.target().bTargetA, *main == 'A');
            rig.window.findChild<QRadioButton *>("optProcessor1")->click();
            rig.dialogs.openAnswers = {test::sampleDir() + QStringLiteral("/WX3650UVer1_9.s20")};
            rig.window.findChild<QAction *>("mnuFileOpen")->trigger();
            rig.program();
            ASSERT_FALSE(rig.dialogs.messages.empty());
            EXPECT_TRUE(rig.dialogs.messages.back().text.startsWith(QLatin1String(messages::kComplete)))
                << qPrintable(rig.dialogs.messages.back().text);
            EXPECT_EQ(rig.ends, QList<int>{0});
        }
}
