// The window against romwright-sim on a pseudo-terminal: start-up as the
// window runs it, then whole updates clicked through PROGRAM.
#include "WindowRig.h"
#include "app/common/UnfinishedUpdate.h"
#include "image/FlashLayout.h"
#include "image/ParseMotorolaSrecords.h"
#include "platform/PortMap.h"
#include "platform/PosixSerialPort.h"
#include "scanner/Scanner.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"

#include <QAction>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;
using romwright::test::SimProcess;

namespace {

const QString kComplete = QStringLiteral("The firmware update is complete. The Romwright will now exit.");

// The window over a real serial port, the simulator as COM1.
struct SimRig : test::WindowRig {
    explicit SimRig(const SimProcess &sim, const FlashTimings &timings = FlashTimings{}.scaled(0.1))
        : WindowRig(std::make_unique<PosixSerialPort>(PortMap::fromList(sim.link())), test::programDir(),
                    test::sampleDir(), timings)
    {
    }
    FormLoadEnd load(const QString &file, const QString &port = QStringLiteral("1"))
    {
        return frm.Form_Load(WindowCommandLine{file, port, QStringLiteral("Halvern 1450")});
    }
    void program() { window.findChild<QPushButton *>("cmdProgram")->click(); }
};

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

// Only 1 to 16 reach a device, and only a port that opens has a green lamp;
// the one port that does is asked once for its greeting, and a "Q" leaves no
// time-out behind. EXIT then says that the scanner waits in its boot software.
TEST(WindowStartUp, APortNumberOutsideOneToSixteenReachesNoDevice)
{
    SimProcess sim({"--start-in-boot", "--boot", "Q"}); // on port 1
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    for (const QString port : {"0", "17", "32767", "-1", "x", "16", "1"}) { // "1" last: the one request
        SCOPED_TRACE(port.toStdString());
        const bool opens = port == QLatin1String("1"); // 16 has no device
        SimRig rig(sim);
        ASSERT_EQ(rig.load(QString(), port), FormLoadEnd::Ready);
        EXPECT_EQ(rig.window.lamp(LampId::ComStatus), opens ? Lamp::Green : Lamp::Red);
        EXPECT_EQ(rig.window.text(LabelId::Port), opens ? port : QStringLiteral("None Selected"));
        EXPECT_FALSE(rig.state.target().bTargetA);
        EXPECT_EQ(rig.state.link().timers().nTimeoutsQ + rig.state.link().timers().nTimeoutsA, 0);
        EXPECT_TRUE(rig.dialogs.messages.empty());
        rig.window.findChild<QPushButton *>("ExitCommand")->click();
        EXPECT_EQ(rig.ends, QList<int>{0});
        ASSERT_EQ(rig.dialogs.messages.size(), opens ? 1u : 0u);
        if (opens) {
            EXPECT_EQ(
                rig.dialogs.messages[0].text,
                QStringLiteral("The scanner is waiting in its boot software and cannot scan until it is "
                               "switched off and on."));
        }
    }
    sim.stop();
    EXPECT_EQ(sim.transcript().count(QLatin1String("in  0x52 'R'")), 1);
}

// FILE,PORT,MODEL with a scanner that answers as another model asks. Yes
// keeps the model given; No shows the model the scanner answered as and
// brings its newest firmware. Either way the window goes on.
TEST(WindowStartUp, AModelTheScannerDoesNotAnswerAsIsAskedAbout)
{
    for (const bool yes : {true, false}) {
        SimProcess sim({"--model", "jorlith"});
        ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
        SimRig rig(sim);
        rig.dialogs.questionAnswers = {yes};
        ASSERT_EQ(rig.load(QString()), FormLoadEnd::Ready);
        ASSERT_EQ(rig.dialogs.questions.size(), 1u);
        EXPECT_EQ(
            rig.dialogs.questions[0].text,
            QStringLiteral("The scanner on port 1 answers as Jorlith 750, not Halvern 1450. Go on with the "
                           "Halvern 1450 all the same?"));
        EXPECT_EQ(rig.dialogs.questions[0].title, QStringLiteral("Firmware Check"));
        EXPECT_EQ(rig.window.text(LabelId::ScanMod), yes ? "Halvern 1450" : "Jorlith 750");
        EXPECT_EQ(rig.window.text(LabelId::FirmFile), yes ? "None" : "JL750Ver6_0.s19");
        EXPECT_EQ(rig.window.lamp(LampId::ComStatus), Lamp::Green);
        EXPECT_TRUE(rig.ends.isEmpty());
    }
}

// The record an interrupted update left is offered at the next start, Yes
// the default; Yes takes its port, model and file, and the update finishes it.
TEST(WindowUpdate, AnInterruptedUpdateIsFinishedAfterYes)
{
    SimProcess sim({"--start-in-boot", "--boot", "Q"}); // waiting in its boot software, as after Ctrl-C
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    SimRig rig(sim);
    const QString file = test::sampleDir() + QStringLiteral("/Hlv1450ver5_9.s19");
    const QByteArray bytes = rig.files.read(file).bytes;
    const UnfinishedUpdates records(rig.state.services().stateFolder);
    ASSERT_TRUE(records.save({1, sim.link(), QStringLiteral("Halvern 1450"), false, 'Q', file, bytes.size(),
                              sha256Hex(bytes), QDateTime(QDate(2026, 12, 1), QTime(9, 30))}));
    rig.dialogs.questionAnswers = {true};
    ASSERT_EQ(rig.frm.Form_Load(std::nullopt), FormLoadEnd::Ready);
    ASSERT_EQ(rig.dialogs.questions.size(), 1u);
    EXPECT_EQ(
        rig.dialogs.questions[0].text,
        QStringLiteral("An update of the Halvern 1450 on port 1 was interrupted on 2026-12-01 09:30. Finish "
                       "it now?"));
    EXPECT_EQ(rig.dialogs.questions[0].title, QStringLiteral("Unfinished Update"));
    EXPECT_EQ(rig.window.text(LabelId::ScanMod), QStringLiteral("Halvern 1450"));
    EXPECT_EQ(rig.window.text(LabelId::FirmFile), QStringLiteral("Hlv1450ver5_9.s19"));
    rig.program();
    EXPECT_EQ(rig.dialogs.messages.back().text, kComplete);
    EXPECT_EQ(rig.ends, QList<int>{0});
    EXPECT_TRUE(records.all().empty());
}

TEST(WindowUpdate, FoundScannerProgrammedThroughTheWindow)
{
    // The first greeting of the update does not come: the File menu opens
    // for the retry, and the file chosen there is the one programmed.
    SimProcess sim({"--model", "halvern", "--boot", "Q", "--greet-late", "50", "--unanswered-request", "3"});
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    SimRig rig(sim);

    ASSERT_EQ(rig.frm.Form_Load(std::nullopt), FormLoadEnd::Ready);
    EXPECT_TRUE(rig.frm.cScann()->receiveHandling()); // the scanner's own "R1" is answered while idle
    EXPECT_EQ(rig.window.text(LabelId::FirmFile), QStringLiteral("Hlv1450ver5_9.s19"));
    ASSERT_TRUE(rig.window.isControlEnabled(ControlId::ProgramButton));
    rig.window.show(); // closing asks the platform window
    // The user opens another file as soon as the File menu is usable.
    bool opened = false;
    QAction *fileMenu = rig.window.findChild<QMenu *>("mnuFile")->menuAction();
    QObject::connect(fileMenu, &QAction::changed, [&] {
        if (opened || !fileMenu->isEnabled())
            return;
        opened = true;
        QTimer::singleShot(0, [&] {
            rig.dialogs.openAnswers = {test::sampleDir() + QStringLiteral("/Hlv1450Uver6_0.s19")};
            rig.window.findChild<QAction *>("mnuFileOpen")->trigger();
            EXPECT_EQ(rig.window.lamp(LampId::FileOk), Lamp::Green);
            EXPECT_FALSE(rig.window.isControlEnabled(ControlId::ProgramButton));
        });
    });

    // Look at the window once while blocks are being sent, and try to close it.
    bool sawProgress = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *bar = rig.window.findChild<QProgressBar *>("prgBlocks");
        if (!sawProgress && !bar->isHidden() && bar->value() > bar->maximum() / 3) {
            sawProgress = true;
            EXPECT_FALSE(rig.frm.cScann()->receiveHandling()); // only the update reads the port
            EXPECT_TRUE(rig.window.isUpdatingNoteVisible());
            EXPECT_FALSE(rig.window.isControlEnabled(ControlId::ExitButton));
            EXPECT_FALSE(rig.window.isControlEnabled(ControlId::ProgramButton));
            EXPECT_FALSE(rig.window.close()); // answered No: the update goes on
        }
    });
    watch.start(5);

    rig.dialogs.questionAnswers = {true, false};
    rig.program();

    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages.back().text, kComplete);
    EXPECT_EQ(rig.ends, QList<int>{0});
    EXPECT_EQ(rig.window.text(LabelId::FirmFile),
              QStringLiteral("Hlv1450Uver6_0.s19")); // opened in the retry
    EXPECT_TRUE(sawProgress);
    // The file opened during the retry is for the 128-byte boot software:
    // asked about once before the route (Yes), then the close (No).
    ASSERT_EQ(rig.dialogs.questions.size(), 2u);
    EXPECT_EQ(rig.dialogs.questions[0].title, QStringLiteral("Firmware Check"));
    EXPECT_EQ(rig.dialogs.questions[1].title, QStringLiteral("Update Running"));
    EXPECT_FALSE(rig.state.MSComm1().portOpen());

    ASSERT_TRUE(sim.waitForExit(5s));
    // The file opened during the retry is the one in the scanner's flash.
    const QByteArray flash = sim.dump();
    ASSERT_EQ(flash.size(), 65536);
    const FirmwareSet &fw = rig.state.firmware();
    int blocks = 0;
    for (const FlashBlock &block : fw.FlashBlocks64) {
        if (block.Length == 0 || isErased(block, fw.FirmwareImage))
            continue;
        ++blocks;
        const auto *bytes = reinterpret_cast<const char *>(fw.FirmwareImage.data() + block.Address);
        EXPECT_EQ(flash.mid(block.Address, block.Length), QByteArray(bytes, block.Length)) << block.Address;
    }
    EXPECT_GT(blocks, 0);
    // The update log names the file the route programmed, not the one of the click.
    QFile updates(rig.scratch.filePath(QStringLiteral("state/updates.jsonl")));
    ASSERT_TRUE(updates.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = updates.readAll().split('\n');
    ASSERT_EQ(lines.size(), 2); // one line and its end
    const QJsonObject logged = QJsonDocument::fromJson(lines.front()).object();
    EXPECT_EQ(logged.value(QLatin1String("file")), test::sampleDir() + QStringLiteral("/Hlv1450Uver6_0.s19"));
    EXPECT_EQ(logged.value(QLatin1String("result")), QLatin1String("completed"));
    EXPECT_EQ(logged.value(QLatin1String("boot")), QLatin1String("Q"));
    EXPECT_EQ(logged.value(QLatin1String("blocksSent")).toInt(), blocks);
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

// The old boot software gets the RAM part of the loader file, 0x0050 to
// 0x044F, as one piece before the bootloader's records.
TEST(WindowUpdate, OldBootSoftwareGetsTheRamLoaderOfTheLoaderFile)
{
    SimProcess sim({"--boot", "Z"});
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    FlashTimings timings = FlashTimings{}.scaled(0.1);
    timings.waitForZInterval = 800ms; // the old boot software repeats "Z" every 500 ms
    SimRig rig(sim, timings);
    ASSERT_EQ(rig.load(QStringLiteral("Hlv1450ver5_9.s19")), FormLoadEnd::Ready);
    // At the power-cycle prompt the firmware pass has not begun: its lamps are grey.
    QList<Lamp> atPrompt;
    rig.state.updateController().powerCyclePrompt = [&rig, &atPrompt](const QString &, const QString &) {
        for (LampId id : {LampId::FlashErase, LampId::Working, LampId::Program})
            atPrompt << rig.window.lamp(id);
        return true;
    };
    rig.program();
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages.back().text, kComplete);
    EXPECT_EQ(atPrompt, QList<Lamp>(3, Lamp::Grey));
    EXPECT_EQ(rig.window.lamp(LampId::Program), Lamp::Green);
    ASSERT_TRUE(sim.waitForExit(5s));

    MemoryImage loader;
    loader.fill(0x00);
    ASSERT_TRUE(
        ParseSrecordFile(test::sampleDir() + QStringLiteral("/FlashProgrammer.sss"), loader).heldData());
    const QByteArray ram(reinterpret_cast<const char *>(loader.data()) + 0x0050, 1024);
    const QString note = "RAM loader received, 1024 bytes: " + QString::fromLatin1(ram.toHex().toUpper());
    EXPECT_TRUE(sim.transcript().contains(note)) << qPrintable(sim.transcript().right(2000));
}

// No model (the port chosen by hand): PROGRAM asks which scanner it is
// before the check; the chooser closed cancels the click, Exit ends the
// program. Neither a file asked about nor a loader sends anything.
TEST(WindowUpdate, WithoutAModelProgramAsksTheChooserFirst)
{
    SimProcess sim({"--boot", "Q"});
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    SimRig rig(sim);
    ASSERT_EQ(rig.frm.Form_Load(WindowCommandLine{"Hlv1450ver5_9.s19", "1", QString()}), FormLoadEnd::Ready);
    rig.dialogs.chooserAnswers = {QString(), QStringLiteral("Wexmoor 3650"), std::nullopt};
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

    rig.window.setText(LabelId::ScanMod, QString());
    rig.program(); // Exit
    EXPECT_EQ(rig.ends, QList<int>{1});
    sim.stop();
    QString heard;
    for (const QString &line : sent(sim.transcript()))
        heard += line.section(QLatin1Char(' '), 3, 3);
    EXPECT_EQ(heard, QStringLiteral("'R''2'"));
}

TEST(WindowUpdate, ClosingTheWindowDuringAnUpdateAsksAndYesEndsWithStatusOne)
{
    SimProcess sim({"--start-in-boot", "--boot", "Q"});
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    SimRig rig(sim);
    ASSERT_EQ(rig.load(QStringLiteral("Hlv1450ver5_9.s19")), FormLoadEnd::Ready);
    rig.window.show();
    rig.dialogs.questionAnswers = {true};
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (rig.window.isUpdatingNoteVisible() && rig.ends.isEmpty())
            rig.window.close();
    });
    watch.start(5);
    rig.program();

    ASSERT_EQ(rig.dialogs.questions.size(), 1u);
    EXPECT_EQ(rig.dialogs.questions[0].text,
              QStringLiteral(
                  "An update is running. If you close the Romwright now, the scanner keeps its boot software "
                  "and has no firmware until the update is run again. Close anyway?"));
    EXPECT_EQ(rig.dialogs.questions[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(rig.ends, QList<int>{1});
    EXPECT_FALSE(rig.state.MSComm1().portOpen());
    // The wait returned at the close and the route unwound without another
    // write: no message about the lost scanner, and the update is over.
    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_FALSE(rig.state.update().running());
}
