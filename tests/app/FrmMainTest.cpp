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

inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

using namespace romwright;
using romwright::test::CountingSleeper;
using romwright::test::FakePort;
using romwright::test::ScriptedDialogs;

namespace {

// The window with its handlers over a port without a device.
class Rig {
public:
    explicit Rig(const QString &folder = QString(), std::unique_ptr<SerialPort> realPort = nullptr,
                 const QString &userFolder = QString())
        : state(realPort ? std::move(realPort) : makePort(), {window, dialogs, sleeper, files, folder, userFolder},
                FlashTimings{}.scaled(0.01)),
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
    Rig rig(test::programDir(), nullptr, test::sampleDir());
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

TEST(FrmMainHandlers, WexmoorProcessorBringsItsFirmware)
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
    ASSERT_TRUE(rig.window.isEnabled(ControlId::ProcessorBarCode));

    struct Step {
        const char *option;
        QString opened; // chosen in the Open dialog after the click
        const char *file;
        Lamp lamp;
        bool program;
    };
    const QString opened = folder.filePath(QStringLiteral("WX3650UVer3_9.s19"));
    const Step steps[] = {
        {"optProcessor0", {}, "WX3650UVer3_9.s19", Lamp::Green, true},
        {"optProcessor1", {}, "None", Lamp::Grey, false},
        {"optProcessor1", opened, "WX3650UVer3_9.s19", Lamp::Green, true},
        {"optProcessor1", {}, "WX3650UVer3_9.s19", Lamp::Green, true}, // the opened file stays
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.file);
        rig.window.findChild<QRadioButton *>(QLatin1String(s.option))->click();
        if (!s.opened.isEmpty()) {
            rig.dialogs.openAnswers.push_back(s.opened);
            rig.frm.FindFile();
        }
        EXPECT_EQ(rig.window.text(LabelId::FirmFile), QLatin1String(s.file));
        EXPECT_EQ(rig.window.lamp(LampId::FileOk), s.lamp);
        EXPECT_EQ(rig.window.isEnabled(ControlId::ProgramButton), s.program);
    }
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
