#include "app/window/MainWindowHandlers.h"
#include "WindowRig.h"
#include "app/update/UnfinishedUpdate.h"
#include "app/update/UpdateLog.h"
#include "app/update/UpdateMessages.h"
#include "app/window/FindFile.h"
#include "flash/LinkRig.h"
#include "platform/ManualClock.h"
#include "platform/PosixSerialPort.h"
#include "support/AsNobody.h"
#include "support/FakePort.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"

#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using namespace romwright;
using romwright::test::FakePort;

namespace {

// The window over a port without a device, or over the one given.
struct Rig : test::WindowRig {
    explicit Rig(const QString &folder = QString(),
                 std::unique_ptr<SerialPort> serial = std::make_unique<FakePort>())
        : WindowRig(std::move(serial), folder, QString(), FlashTimings{}.scaled(0.01)),
          port(dynamic_cast<FakePort *>(&state.MSComm1()))
    {
        window.setPortDevices({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"});
    }
    FakePort *port; // null over a real port
};

} // namespace

TEST(WindowHandlerPorts, PortMenuTicksOnlyAPortThatOpened)
{
    const std::tuple<int, CommError, Lamp, int> steps[] = {
        {2, CommError::None, Lamp::Green, 2},
        {5, CommError::PortInUse, Lamp::Red, 2},
        {7, CommError::NoSuchPort, Lamp::Red, 2}, // passed over by OpenPort, yet not open
    };
    Rig rig;
    for (const auto &[port, openError, lamp, ticked] : steps) {
        SCOPED_TRACE(port);
        rig.port->openError = openError;
        rig.window.portAction(port)->trigger();
        EXPECT_EQ(rig.window.lamp(LampId::ComStatus), lamp);
        EXPECT_EQ(rig.window.portTicked(), ticked);
        EXPECT_EQ(rig.window.text(LabelId::Port), QString::number(ticked));
    }
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST(WindowHandlers, ExitSendsAtSignOnlyToAnOpenPort)
{
    for (const bool open : {true, false}) {
        SCOPED_TRACE(open);
        Rig rig;
        if (open)
            rig.frm.mnuCom_Click(1);
        rig.window.findChild<QPushButton *>("ExitCommand")->click();
        EXPECT_EQ(rig.port->written(), open ? QByteArray("@") : QByteArray());
        EXPECT_FALSE(rig.port->portOpen());
        EXPECT_EQ(rig.ends, QList<int>{0});
    }
}

// The model named, no port: PROGRAM says that the port is missing, asks
// nothing about a file for another model first, writes nothing anywhere and
// logs no update.
TEST(WindowHandlers, ProgramWithNoPortOpenSaysSoAndWritesNothing)
{
    Rig rig(test::sampleDir());
    ASSERT_EQ(rig.frm.Form_Load(WindowCommandLine{QString(), QString(), QStringLiteral("Halvern 1450")}),
              FormLoadEnd::Ready);
    rig.dialogs.openAnswers = {test::sampleDir() + QStringLiteral("/JL750Ver6_0.s19")};
    rig.frm.FindFile();
    const qsizetype logged = rig.port->log.size();
    rig.frm.cmdProgram_Click();
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0].title, QStringLiteral("Communications Failure"));
    EXPECT_TRUE(rig.dialogs.messages[0].text.endsWith(QLatin1String(messages::kNoPortChosen)));
    EXPECT_TRUE(rig.dialogs.questions.empty());
    EXPECT_EQ(rig.port->log.mid(logged).filter(QRegularExpression(QStringLiteral("^(open|write) "))),
              QStringList());
    EXPECT_TRUE(UpdateLog(rig.state.services().stateFolder).read().entries.empty());
}

TEST(WindowHandlers, WexmoorProcessorBringsItsFirmware)
{
    // A program folder without any BarCode firmware.
    QTemporaryDir folder;
    ASSERT_TRUE(
        test::copySamples({"FlashProgrammer.sss", "bootloader.sss", "WX3650UVer3_9.s19"}, folder.path()));
    Rig rig(folder.path());
    // The model from the command line, no port: the options are offered all the same.
    ASSERT_EQ(rig.frm.Form_Load(WindowCommandLine{QString(), QString(), QStringLiteral("Wexmoor 3650")}),
              FormLoadEnd::Ready);
    ASSERT_TRUE(rig.window.isControlEnabled(ControlId::ProcessorBarCode));
    // Main is ticked, so the Open dialog offers Main's files at once.
    EXPECT_EQ(rig.window.processorTicked(), 0);
    rig.window.findChild<QPushButton *>("cmdBrowse")->click();
    EXPECT_EQ(
        rig.dialogs.openRequests.last(),
        QStringLiteral("Open|Wexmoor Firmware Files|W*.S19|%1|%2").arg(kMoreOpenFilters, documentsFolder()));

    const QString opened = folder.filePath(QStringLiteral("WX3650UVer3_9.s19"));
    const std::tuple<const char *, QString, const char *, Lamp> steps[] = {
        {"optProcessor0", {}, "WX3650UVer3_9.s19", Lamp::Green},
        {"optProcessor1", {}, "None", Lamp::Grey},
        {"optProcessor1", opened, "WX3650UVer3_9.s19", Lamp::Green}, // chosen in the Open dialog
        {"optProcessor1", {}, "WX3650UVer3_9.s19", Lamp::Green},     // the opened file stays
    };
    for (const auto &[option, chosen, file, lamp] : steps) {
        SCOPED_TRACE(file);
        rig.window.findChild<QRadioButton *>(QLatin1String(option))->click();
        if (!chosen.isEmpty()) {
            rig.dialogs.openAnswers.push_back(chosen);
            rig.window.findChild<QAction *>("mnuFileOpen")->trigger();
            EXPECT_EQ(rig.dialogs.openRequests.last(),
                      QStringLiteral("Open|Wexmoor Firmware Files|W*.S20|%1|%2")
                          .arg(kMoreOpenFilters, folder.path()));
        }
        EXPECT_EQ(rig.window.text(LabelId::FirmFile), QLatin1String(file));
        EXPECT_EQ(rig.window.lamp(LampId::FileOk), lamp);
        EXPECT_EQ(rig.window.isControlEnabled(ControlId::ProgramButton), lamp == Lamp::Green);
    }
}

namespace {

// The loaders and one firmware file in the program folder, another firmware
// file in a folder of its own.
struct FirmwareFolders {
    FirmwareFolders()
    {
        EXPECT_TRUE(test::copySamples({"FlashProgrammer.sss", "bootloader.sss", "Hlv1450ver5_9.s19"},
                                      program.path()) &&
                    test::copySamples({"Hlv1450Uver6_0.s19"}, elsewhere.path()));
    }
    QTemporaryDir program, elsewhere;
};

} // namespace

// A full path as the window's argument (what "Open with" passes) opens that
// file, judged before the scanner is touched, and alone it searches for the
// scanner as a start without arguments does; a bare name is looked for in
// the program's folders, without a search, as before. (A path that leads
// nowhere: WindowFailuresTest.)
TEST(WindowHandlerStartUp, AFullPathArgumentOpensThatFile)
{
    FirmwareFolders folders;
    const QString other = folders.elsewhere.filePath(QStringLiteral("Hlv1450Uver6_0.s19"));
    const struct {
        WindowCommandLine given;
        QString loaded; // the file read
        QString model;  // the model label: "Scanner Not Found" after a search
        int port;       // ticked
    } rows[] = {
        {{"Hlv1450ver5_9.s19", {}, {}}, folders.program.filePath("Hlv1450ver5_9.s19"), "", 0},
        {{other, {}, {}, other}, other, "Scanner Not Found", 0},
        {{other, "3", "Halvern 1450", other}, other, "Halvern 1450", 3},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.given.file.toStdString());
        Rig rig(folders.program.path());
        ASSERT_EQ(rig.frm.Form_Load(row.given), FormLoadEnd::Ready);
        EXPECT_EQ(rig.state.firmwareFile(), row.loaded);
        EXPECT_EQ(rig.window.text(LabelId::FirmFile), QFileInfo(row.loaded).fileName());
        EXPECT_EQ(rig.window.lamp(LampId::FileOk), Lamp::Green);
        EXPECT_EQ(rig.window.text(LabelId::ScanMod), row.model);
        EXPECT_EQ(rig.window.portTicked(), row.port);
        for (const auto &message : rig.dialogs.messages) // no file message
            EXPECT_NE(message.title, QLatin1String(kApplicationTitle)) << qPrintable(message.text);
    }
}

// One file dropped on the window opens as the Open dialog's choice would;
// several files, a locked window or one whose "...." button is off (an
// update runs) take none.
TEST(WindowHandlers, AFileDroppedOnTheWindowOpensIt)
{
    FirmwareFolders folders;
    const QString other = folders.elsewhere.filePath(QStringLiteral("Hlv1450Uver6_0.s19"));
    const QString own = folders.program.filePath(QStringLiteral("Hlv1450ver5_9.s19"));
    const std::tuple<const char *, QStringList, std::function<void(MainWindow &)>, QString> rows[] = {
        {"one file", {other}, {}, other},
        {"two files", {other, own}, {}, QString()},
        {"locked", {other}, [](MainWindow &w) { w.setLocked(true); }, QString()},
        {"updating",
         {other},
         [](MainWindow &w) { w.setControlEnabled(ControlId::BrowseButton, false); },
         QString()},
    };
    for (const auto &[what, files, before, opened] : rows) {
        SCOPED_TRACE(what);
        Rig rig(folders.program.path());
        if (before)
            before(rig.window);
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &file : files)
            urls << QUrl::fromLocalFile(file);
        data.setUrls(urls);
        // The drag comes first: the drop goes where it was taken.
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&rig.window, &enter);
        EXPECT_EQ(enter.isAccepted(), !opened.isEmpty());
        if (enter.isAccepted()) {
            QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&rig.window, &drop);
        }
        EXPECT_EQ(rig.state.firmwareFile(), opened);
        EXPECT_EQ(rig.window.lamp(LampId::FileOk), opened.isEmpty() ? Lamp::Grey : Lamp::Green);
        EXPECT_EQ(rig.window.text(LabelId::FirmFile),
                  opened.isEmpty() ? QStringLiteral("None") : QStringLiteral("Hlv1450Uver6_0.s19"));
    }
}

// Run again as nobody, on the simulator's terminal, which only its owner may read.
TEST(WindowHandlerStartUp, NoScannerAndAPortThisUserMayNotOpenIsExplainedOnce)
{
    const QString terminal = qEnvironmentVariable("ROMWRIGHT_REFUSED_DEVICE");
    if (!terminal.isEmpty()) {
        Rig rig(test::programDir(), std::make_unique<PosixSerialPort>(PortMap::fromList(terminal)));
        EXPECT_EQ(rig.frm.Form_Load(std::nullopt), FormLoadEnd::Ready);
        EXPECT_EQ(rig.window.text(LabelId::ScanMod), QStringLiteral("Scanner Not Found"));
        EXPECT_EQ(rig.window.lamp(LampId::ComStatus), Lamp::Red);
        rig.window.portAction(1)->trigger();
        ASSERT_EQ(rig.dialogs.messages.size(), 1u);
        EXPECT_EQ(rig.dialogs.messages[0].title, QStringLiteral("Serial Port Permission"));
        EXPECT_TRUE(rig.dialogs.messages[0].text.contains(QStringLiteral("port %1 (port 1).").arg(terminal)));
        EXPECT_TRUE(rig.dialogs.messages[0].text.contains(QLatin1String("udev rule")));
        return;
    }
    const QString setpriv = test::setprivProgram();
    if (setpriv.isEmpty())
        GTEST_SKIP() << "needs root and setpriv to run as another user";
    test::SimProcess sim;
    const QString name =
        QStringLiteral("WindowHandlerStartUp.NoScannerAndAPortThisUserMayNotOpenIsExplainedOnce");
    EXPECT_EQ(test::rerunAsNobody(setpriv, name, "ROMWRIGHT_REFUSED_DEVICE", sim.terminal()), QString());
}

// F1 belongs to the Help menu: in the window it opens the help file at its
// contents, then the About page; a locked menu takes it along. Closing the
// window (Alt+F4) closes the help and the port without a goodbye.
TEST(WindowHandlers, F1OpensTheWindowsHelpPageAndClosingTheWindowClosesIt)
{
    QTemporaryDir folder;
    ASSERT_TRUE(QFile(folder.filePath(QStringLiteral("Romwright.CHM"))).open(QIODevice::WriteOnly));
    Rig rig(folder.path());
    rig.frm.mnuCom_Click(3);
    rig.window.show();
    rig.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));

    rig.window.setControlEnabled(ControlId::HelpMenu, false);
    QTest::keyClick(&rig.window, Qt::Key_F1);
    EXPECT_TRUE(rig.viewer.calls.empty());
    rig.window.setControlEnabled(ControlId::HelpMenu, true);
    QTest::keyClick(&rig.window, Qt::Key_F1);
    ASSERT_EQ(rig.viewer.calls.size(), 2u);
    EXPECT_EQ(rig.viewer.calls[0].command, HelpCommand::DisplayToc);
    EXPECT_EQ(rig.viewer.calls[1].command, HelpCommand::DisplayTopic);
    EXPECT_EQ(std::get<QString>(rig.viewer.calls[1].data), QStringLiteral("main-window.html"));
    EXPECT_TRUE(rig.dialogs.messages.empty());

    // Ctrl+O opens the Open dialog; Alt+F4 closes as the close box does.
    QTest::keyClick(&rig.window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(rig.dialogs.openRequests.size(), 1);
    QTest::keyClick(&rig.window, Qt::Key_F4, Qt::AltModifier);
    EXPECT_FALSE(rig.window.isVisible());
    ASSERT_EQ(rig.viewer.calls.size(), 3u);
    EXPECT_EQ(rig.viewer.calls[2].command, HelpCommand::CloseAll);
    EXPECT_FALSE(rig.port->portOpen());
    EXPECT_TRUE(rig.port->writes.empty()) << "closing the window says no goodbye";
    EXPECT_EQ(rig.ends, QList<int>{0});
}

// A search that finds nothing says so in the model label; the status line
// beside it then listens for boot software, it does not wait for "the scanner's".
TEST(WindowHandlerStatus, NothingFoundIsNotContradictedByTheStatusLine)
{
    Rig rig;
    rig.port->devices = {{1, {}}};
    QStringList shown; // the model label | the status line
    QObject::connect(&rig.window, &MainWindow::statusChanged, [&](const QString &status) {
        shown << rig.window.text(LabelId::ScanMod) + " | " + status;
    });
    ASSERT_EQ(rig.frm.Form_Load(std::nullopt), FormLoadEnd::Ready);
    EXPECT_TRUE(shown.contains(QStringLiteral("Scanner Not Found | ") +
                               QString::fromUtf8(kListeningForBootSoftware)));
    EXPECT_FALSE(shown.join('\n').contains(QString::fromUtf8(kWaitingForBootSoftware)));
}

// The status line through whole updates on the manual clock, against boot
// software that answers each command 1 ms later: each step says what runs,
// and a scanner silent for more than 2 s where an answer is due is said to
// be, until it answers again; the listen for old boot software counts no
// silence. Route Z installs new boot software; the restarted scanner never
// answers its identity here. Shown as B boot software, L listening for old
// boot software, I installing, E erase, S sending, R restart, +N no answer
// for N s (a count's first and last second), C complete, F failed.
// When the end is said, the update's log line is written and its record
// removed (kept, when the flash is left empty).
TEST(WindowHandlerStatus, TheStatusLineFollowsTheUpdatesStepsAndTheScannersSilence)
{
    const std::pair<QString, const char *> letters[] = {
        {QString::fromUtf8(kWaitingForBootSoftware), "B"},
        {QString::fromUtf8(kListeningForOldBootSoftware), "L"},
        {QStringLiteral("The firmware update is complete."), "C"},
        {QString::fromUtf8(kInstallingBootSoftware), "I"},
        {QString::fromUtf8(kErasingFlash), "E"},
        {QString::fromUtf8(kSendingFirmware), "S"},
        {QString::fromUtf8(kWaitingForRestart), "R"}};
    const std::tuple<const char *, int, int, const char *> cases[] = {
        {"Q", 2, 0, "B L B E S R R+3 R+12 - C"},
        {"Z", 1, 0, "B L I B E S R R+3 R+12 - C"},
        {"Q", 2, 3, "B L B E S S+3 S+10 - F"}, // no answer from the first block on
    };
    for (const auto &[greeting, greetOn, stallAt, expected] : cases) {
        SCOPED_TRACE(expected);
        ManualClock clock;
        auto fake = std::make_unique<FakePort>(&clock);
        test::BootSoftware software{greeting, greetOn, stallAt};
        fake->latency = std::chrono::milliseconds(1);
        fake->responder = [&software](const QByteArray &w) { return software.answer(w); };
        test::WindowRig rig(std::move(fake), QString(), QString(), FlashTimings{}, &clock);
        rig.frm.mnuCom_Click(1);
        rig.state.firmware() = test::sampleFirmware();
        rig.state.gate().judgeVerdict = [](const FirmwareVerdict &) { return true; };
        rig.state.inputs().setFile(QStringLiteral("Hlv1450ver5_9.s19"));
        rig.state.inputs().setModel(QStringLiteral("Halvern 1450"));
        QStringList shown;
        QObject::connect(&rig.window, &MainWindow::statusChanged, [&](QString s) {
            for (const auto &[text, letter] : letters)
                s.replace(text, QLatin1String(letter));
            if (s.startsWith(QLatin1String("The update did not complete")))
                s = QStringLiteral("F");
            s.replace(QStringLiteral(" no answer for "), QStringLiteral("+")).remove(QStringLiteral(" s"));
            // A count going on replaces its last second, unless that was its first.
            if (s.contains('+') && shown.size() > 1 &&
                shown.last().section('+', 0, 0) == s.section('+', 0, 0) &&
                shown[shown.size() - 2].section('+', 0, 0) == s.section('+', 0, 0) &&
                shown[shown.size() - 2].contains('+'))
                shown.removeLast();
            shown << (s.isEmpty() ? QStringLiteral("-") : s);
        });
        const QString stateFolder = rig.state.services().stateFolder;
        std::pair<std::size_t, std::size_t> atMessage; // log lines, records
        rig.dialogs.onMessage = [&](const test::ShownMessage &) {
            atMessage = {UpdateLog(stateFolder).read().entries.size(),
                         UnfinishedUpdates(stateFolder).all().size()};
        };
        rig.state.link().timers().start();
        rig.frm.cmdProgram_Click();
        EXPECT_EQ(shown.join(' ').toStdString(), expected);
        EXPECT_EQ(atMessage, std::make_pair(std::size_t(1), std::size_t(stallAt ? 1 : 0)));
    }
}
