#include "app/window/MainWindowHandlers.h"
#include "WindowRig.h"
#include "app/common/FindFile.h"
#include "flash/LinkRig.h"
#include "platform/ManualClock.h"
#include "platform/PosixSerialPort.h"
#include "support/AsNobody.h"
#include "support/FakePort.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
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

TEST(WindowHandlers, WexmoorProcessorBringsItsFirmware)
{
    // A program folder without any BarCode firmware.
    QTemporaryDir folder;
    for (const char *name : {"FlashProgrammer.sss", "bootloader.sss", "WX3650UVer3_9.s19"})
        ASSERT_TRUE(QFile::copy(test::sourceDir() + QStringLiteral("/samples/") + QLatin1String(name),
                                folder.filePath(QLatin1String(name))));
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
        QStringLiteral("Open|Wexmoor Firmware Files|W*.S19|%1|%2").arg(kMoreOpenFilters, folder.path()));

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
        EXPECT_TRUE(rig.dialogs.messages[0].text.contains(QStringLiteral("port COM1 (%1).").arg(terminal)));
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
// window closes the help and the port without a goodbye.
TEST(WindowHandlers, F1OpensTheHelpAtTheAboutPageAndClosingTheWindowClosesIt)
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
    EXPECT_EQ(std::get<QString>(rig.viewer.calls[1].data), QStringLiteral("about.html"));
    EXPECT_TRUE(rig.dialogs.messages.empty());

    rig.window.close();
    ASSERT_EQ(rig.viewer.calls.size(), 3u);
    EXPECT_EQ(rig.viewer.calls[2].command, HelpCommand::CloseAll);
    EXPECT_FALSE(rig.port->portOpen());
    EXPECT_TRUE(rig.port->writes.empty()) << "closing the window says no goodbye";
    EXPECT_EQ(rig.ends, QList<int>{0});
}

// A search that finds nothing says so in the model label; the status line
// beside it then listens for boot software, it does not wait for "the
// scanner's".
TEST(WindowHandlerStatus, NothingFoundIsNotContradictedByTheStatusLine)
{
    Rig rig;
    rig.port->devices = {{1, {}}};
    QStringList shown; // the model label beside the status line
    QObject::connect(&rig.window, &MainWindow::statusChanged, [&](const QString &status) {
        shown << rig.window.text(LabelId::ScanMod) + QStringLiteral(" | ") + status;
    });
    ASSERT_EQ(rig.frm.Form_Load(std::nullopt), FormLoadEnd::Ready);
    EXPECT_EQ(rig.window.text(LabelId::ScanMod), QStringLiteral("Scanner Not Found"));
    EXPECT_TRUE(
        shown.contains(QStringLiteral("Scanner Not Found | ") + QString::fromUtf8(kListeningForBootSoftware)))
        << shown.join(QLatin1Char('\n')).toStdString();
    for (const QString &pair : shown)
        EXPECT_FALSE(pair.contains(QString::fromUtf8(kWaitingForBootSoftware))) << pair.toStdString();
}

// The status line through whole updates on the manual clock, against boot
// software that answers each command 1 ms later: each step says what runs,
// and a scanner silent for more than 2 s is said to be ("no answer for 3 s"),
// until it answers again. Route Z installs new boot software; the restarted
// scanner never answers its identity here.
TEST(WindowHandlerStatus, TheStatusLineFollowsTheUpdatesStepsAndTheScannersSilence)
{
    const QString boot = QString::fromUtf8(kWaitingForBootSoftware);
    const QString install = QString::fromUtf8(kInstallingBootSoftware);
    const QString erase = QString::fromUtf8(kErasingFlash);
    const QString send = QString::fromUtf8(kSendingFirmware);
    const QString restart = QString::fromUtf8(kWaitingForRestart);
    const auto silent = [](const QString &what, int s) {
        return what + QStringLiteral(" no answer for %1 s").arg(s);
    };
    struct Case {
        const char *greeting;
        int greetOn;
        int stallAt; // 0: every answer comes
        QStringList shown;
    };
    const Case cases[] = {
        {"Q",
         2,
         0,
         {boot, silent(boot, 3), boot, erase, send, restart, silent(restart, 3), silent(restart, 12), ""}},
        {"Z", 1, 0, {boot, install, boot, erase, send, restart, silent(restart, 3), silent(restart, 12), ""}},
        // The scanner stops answering at the first block.
        {"Q", 2, 3, {boot, silent(boot, 3), boot, erase, send, silent(send, 3), silent(send, 10), ""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.greeting) + std::to_string(c.stallAt));
        ManualClock clock;
        auto fake = std::make_unique<FakePort>(&clock);
        FakePort *port = fake.get();
        test::WindowRig rig(std::move(fake), QString(), QString(), FlashTimings{}, &clock);
        test::BootSoftware software;
        software.greeting = c.greeting;
        software.greetOn = c.greetOn;
        software.stallAt = c.stallAt;
        port->latency = std::chrono::milliseconds(1);
        port->responder = [&software](const QByteArray &w) { return software.answer(w); };
        rig.frm.mnuCom_Click(1);
        rig.state.firmware() = test::sampleFirmware();
        rig.state.judgeVerdict = [](const FirmwareVerdict &) { return true; };
        rig.window.setText(LabelId::FirmFile, QStringLiteral("Hlv1450ver5_9.s19"));
        rig.window.setText(LabelId::ScanMod, QStringLiteral("Halvern 1450"));
        QStringList shown;
        QObject::connect(&rig.window, &MainWindow::statusChanged, [&](const QString &s) { shown << s; });
        rig.state.link().timers().start();
        rig.frm.cmdProgram_Click();
        // Each run of a silence counting up as its first and last second.
        const QString silence = QStringLiteral(" no answer for ");
        auto sameWait = [&](const QString &a, const QString &b) {
            return a.contains(silence) && a.section(silence, 0, 0) == b.section(silence, 0, 0);
        };
        QStringList runs;
        for (qsizetype i = 0; i < shown.size(); ++i)
            if (i == 0 || i + 1 == shown.size() || !sameWait(shown[i - 1], shown[i]) ||
                !sameWait(shown[i], shown[i + 1]))
                runs << shown[i];
        EXPECT_EQ(runs.join(QLatin1Char('|')).toStdString(), c.shown.join(QLatin1Char('|')).toStdString());
    }
}
