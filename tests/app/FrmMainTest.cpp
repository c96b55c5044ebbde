#include "app/gui/FrmMain.h"
#include "app/gui/MainWindow.h"
#include "app/shell/MainState.h"
#include "flash/FakePort.h"
#include "help/HTMLHelp.h"
#include "help/RecordingHelpViewer.h"
#include "platform/Registry.h"
#include "platform/FileSystem.h"
#include "support/ScriptedDialogs.h"
#include "support/TestPaths.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

using namespace romwright;
using romwright::test::CountingSleeper;
using romwright::test::FakePort;
using romwright::test::ScriptedDialogs;

namespace {

// The window with its handlers over a port without a device.
class Rig {
public:
    explicit Rig(const QString &folder = QString(), const QString &userFolder = QString())
        : state(makePort(), {window, dialogs, sleeper, files, folder, userFolder}, FlashTimings{}.scaled(0.01)),
          frm(window, parts(folder, userFolder),
              [this, folder] { return std::make_unique<HTMLHelp>(viewer, dialogs, *registry, files, folder); },
              {}, [this](int code) { ends << code; }),
          flags(state.flags()), firmware(state.firmware())
    {
    }

    std::unique_ptr<SerialPort> makePort()
    {
        auto fake = std::make_unique<FakePort>();
        port = fake.get();
        return fake;
    }

    WindowParts parts(const QString &folder, const QString &userFolder)
    {
        WindowParts p{state, sleeper, files, dialogs, folder, userFolder};
        p.scannerTimings.probeWait = std::chrono::milliseconds(1);
        return p;
    }

    QTemporaryDir scratch;
    std::unique_ptr<Registry> registry = makeSettingsRegistry(scratch.filePath(QStringLiteral("registry.ini")));
    test::RecordingHelpViewer viewer;
    MainWindow window;
    ScriptedDialogs dialogs;
    CountingSleeper sleeper;
    LocalFileSystem files;
    FakePort *port = nullptr;
    MainState state;
    FrmMain frm;
    ProgramFlags &flags;
    FirmwareSet &firmware;
    QList<int> ends;
};

} // namespace

TEST(FrmMainPorts, PortMenuTicksOnlyAPortThatOpened)
{
    struct Step {
        int port;
        CommError openError;
        Lamp lamp;
        int ticked;
    };
    const Step steps[] = {
        {2, CommError::None, Lamp::Green, 2},
        {5, CommError::PortInUse, Lamp::Red, 2},
        {7, CommError::NoSuchPort, Lamp::Green, 7},
    };
    Rig rig;
    for (const Step &s : steps) {
        SCOPED_TRACE(s.port);
        rig.port->openError = s.openError;
        rig.window.portAction(s.port)->trigger();
        EXPECT_EQ(rig.window.lamp(LampId::ComStatus), s.lamp);
        EXPECT_EQ(rig.window.portTicked(), s.ticked);
        EXPECT_EQ(rig.window.text(LabelId::Port), QString::number(s.ticked));
    }
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST(FrmMainHandlers, OnlyTheTwoProcessorOptionsChangeTheChoice)
{
    Rig rig;
    const std::pair<int, bool> clicks[] = {{1, true}, {2, true}, {-1, true}, {0, false}, {7, false}};
    for (const auto &[index, barCode] : clicks) {
        rig.frm.optProcessor_Click(index);
        EXPECT_EQ(rig.flags.bBarCodeProcessor, barCode) << index;
    }
}

TEST(FrmMainHandlers, TheProgramNeverStartsAnUpdateWithoutValidFiles)
{
    Rig rig;
    rig.frm.mnuCom_Click(1);
    rig.window.setText(LabelId::FirmFile, QStringLiteral("H.s19"));
    EXPECT_EQ(rig.state.cmdProgram_Click(), Outcome::Stopped);
    EXPECT_TRUE(rig.port->writes.empty());
}

TEST(FrmMainHandlers, ExitSendsAtSignOnlyToAnOpenPort)
{
    Rig open;
    open.frm.mnuCom_Click(1);
    open.window.findChild<QPushButton *>(QStringLiteral("ExitCommand"))->click();
    EXPECT_EQ(open.port->written(), QByteArray("@"));
    EXPECT_FALSE(open.port->portOpen());
    EXPECT_EQ(open.ends, QList<int>{0});

    Rig closed;
    closed.frm.ExitCommand_Click();
    EXPECT_TRUE(closed.port->writes.empty());
    EXPECT_EQ(closed.ends, QList<int>{0});
}

TEST(FrmMainHandlers, OpenDialogFromTheWindow)
{
    Rig rig(test::programDir(), test::sampleDir());
    rig.flags.bWexmoor = true;
    rig.window.setText(LabelId::ScanMod, QStringLiteral("Wexmoor 3650"));
    rig.window.findChild<QPushButton *>(QStringLiteral("cmdBrowse"))->click();
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0].title, QStringLiteral("File Type Required"));
    EXPECT_TRUE(rig.dialogs.openRequests.isEmpty());

    rig.window.setEnabled(ControlId::ProcessorBarCode, true);
    rig.window.findChild<QRadioButton *>(QStringLiteral("optProcessor1"))->click();
    const QString firmware = QDir(test::sampleDir()).filePath(QStringLiteral("WX3650UVer1_9.s20"));
    rig.dialogs.openAnswers.push_back(firmware);
    rig.window.findChild<QAction *>(QStringLiteral("mnuFileOpen"))->trigger();
    EXPECT_EQ(rig.dialogs.openRequests.value(0),
              QStringLiteral("Open|Wexmoor Firmware Files|W*.S20|") + test::programDir());
    EXPECT_EQ(rig.window.text(LabelId::FirmFile), QStringLiteral("WX3650UVer1_9.s20"));
    // FileOpen ran with the loaders of the user's data folder.
    EXPECT_EQ(rig.window.lamp(LampId::FileOk), Lamp::Green);
    EXPECT_TRUE(rig.firmware.FilesValid);
}

TEST(FrmMainStartUp, NoCommandLineAndNoScanner)
{
    Rig rig(test::programDir());
    rig.port->openError = CommError::NoSuchPort;
    EXPECT_EQ(rig.frm.Form_Load(std::nullopt), FormLoadEnd::Ready);
    EXPECT_EQ(rig.window.text(LabelId::ScanMod), QStringLiteral("Scanner Not Found"));
    EXPECT_FALSE(rig.window.isEnabled(ControlId::ProgramButton));
    EXPECT_FALSE(rig.port->portOpen());
    EXPECT_EQ(rig.window.text(LabelId::FirmFile), QStringLiteral("None"));
}

TEST(FrmMainStartUp, ChooserExitEndsTheStartUp)
{
    Rig rig(test::programDir());
    // A port whose scanner answers the identity query with a bootloader prompt.
    // Detection reads after a blocking pause, so the answer must be there at once.
    rig.port->responder = [&rig](const QByteArray &written) {
        if (written == QByteArray("V\r\n"))
            rig.port->deliverNow("Q");
        return QByteArray();
    };
    rig.dialogs.chooserAnswers.push_back(std::nullopt);
    EXPECT_EQ(rig.frm.Form_Load(std::nullopt), FormLoadEnd::EndProgram);
    EXPECT_EQ(rig.dialogs.chooserShown, 1);
    EXPECT_FALSE(rig.port->portOpen());
}

TEST(FrmMainHandlers, F1ShowsContentsAndTheAboutPageAndClosingClosesHelp)
{
    QTemporaryDir folder;
    QFile chm(folder.filePath(QStringLiteral("Romwright.CHM")));
    ASSERT_TRUE(chm.open(QIODevice::WriteOnly));
    chm.close();
    Rig rig(folder.path());
    rig.frm.mnuCom_Click(3);
    rig.window.findChild<QAction *>(QStringLiteral("mnuHelpViewHelp"))->trigger();
    ASSERT_EQ(rig.viewer.calls.size(), 2u);
    EXPECT_EQ(rig.viewer.calls[0].command, HelpCommand::DisplayToc);
    EXPECT_EQ(rig.viewer.calls[1].command, HelpCommand::DisplayTopic);
    EXPECT_EQ(std::get<QString>(rig.viewer.calls[1].data), QStringLiteral("about.html"));

    rig.window.close();
    ASSERT_EQ(rig.viewer.calls.size(), 3u);
    EXPECT_EQ(rig.viewer.calls[2].command, HelpCommand::CloseAll);
    EXPECT_FALSE(rig.port->portOpen());
    EXPECT_TRUE(rig.port->writes.empty()) << "closing the window says no goodbye";
    EXPECT_EQ(rig.ends, QList<int>{0});
}

TEST(FrmMainPorts, DeviceThisUserMayNotOpenIsToldApart)
{
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
    QFile file(device);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(deviceRefusesUser(device));
    EXPECT_FALSE(deviceRefusesUser(dir.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(deviceRefusesUser(QString()));
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner));
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may open any device";
    EXPECT_TRUE(deviceRefusesUser(device));
}
