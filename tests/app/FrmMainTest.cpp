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
struct Rig {
    explicit Rig(const QString &folder = QString(), const QString &userFolder = QString())
        : state(std::unique_ptr<SerialPort>(port), {window, dialogs, sleeper, files, folder, userFolder},
                FlashTimings{}.scaled(0.01)),
          frm(window, {state, sleeper, files, dialogs, folder, userFolder},
              [this, folder] { return std::make_unique<HTMLHelp>(viewer, dialogs, *registry, files, folder); }, {},
              [this](int code) { ends << code; })
    {
    }

    QTemporaryDir scratch;
    std::unique_ptr<Registry> registry = makeSettingsRegistry(scratch.filePath(QStringLiteral("registry.ini")));
    test::RecordingHelpViewer viewer;
    MainWindow window;
    ScriptedDialogs dialogs;
    CountingSleeper sleeper;
    LocalFileSystem files;
    FakePort *port = new FakePort; // owned by state
    MainState state;
    FrmMain frm;
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
    // No file dialog before a processor is chosen.
    rig.window.findChild<QPushButton *>(QStringLiteral("cmdBrowse"))->click();
    EXPECT_EQ(rig.dialogs.messages.at(0).title, QStringLiteral("File Type Required"));
    EXPECT_TRUE(rig.dialogs.openRequests.isEmpty());

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
            rig.window.findChild<QAction *>(QStringLiteral("mnuFileOpen"))->trigger();
            EXPECT_EQ(rig.dialogs.openRequests.last(), "Open|Wexmoor Firmware Files|W*.S20|" + folder.path());
        }
        EXPECT_EQ(rig.window.text(LabelId::FirmFile), QLatin1String(file));
        EXPECT_EQ(rig.window.lamp(LampId::FileOk), lamp);
        EXPECT_EQ(rig.window.isEnabled(ControlId::ProgramButton), lamp == Lamp::Green);
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
