// The window against romwright-sim on a pseudo-terminal: start-up as the
// window runs it, then one whole update clicked through PROGRAM.
#include "app/gui/FrmMain.h"
#include "app/gui/MainWindow.h"
#include "app/shell/MainState.h"
#include "image/FlashLayout.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "platform/QtSerialPort.h"
#include "platform/Sleeper.h"
#include "support/ScriptedDialogs.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;
using romwright::test::ScriptedDialogs;
using romwright::test::SimProcess;

namespace {

constexpr double kTimeScale = 0.1;

// The window's parts over a real serial port, the device mapped to COM1.
class SimRig {
public:
    explicit SimRig(const SimProcess &sim)
        : timings(FlashTimings{}.scaled(kTimeScale)),
          state(makePort(sim), {window, dialogs, sleeper, files, test::programDir(), test::sampleDir()}, timings),
          frm(window, parts(), {}, {}, [this](int code) { ends << code; })
    {
        state.update().powerCyclePrompt = [](const QString &, const QString &) { return true; };
    }

    std::unique_ptr<SerialPort> makePort(const SimProcess &sim)
    {
        auto serial = std::make_unique<QtSerialPort>(PortMap::fromList(sim.link()));
        port = serial.get();
        return serial;
    }

    WindowParts parts()
    {
        WindowParts p{state, sleeper, files, dialogs, test::programDir(), test::sampleDir()};
        p.scannerTimings.probeWait = 100ms;
        return p;
    }

    QString label(const char *name) const { return window.findChild<QLabel *>(QLatin1String(name))->text(); }

    MainWindow window;
    ScriptedDialogs dialogs;
    BlockingSleeper sleeper;
    LocalFileSystem files;
    FlashTimings timings;
    QtSerialPort *port = nullptr;
    MainState state;
    FrmMain frm;
    QList<int> ends;
};

void savePicture(QWidget &window, const char *name)
{
    const QString folder = qEnvironmentVariable("ROMWRIGHT_PICTURES");
    if (!folder.isEmpty())
        window.grab().save(QDir(folder).filePath(QLatin1String(name)));
}

} // namespace

TEST(WindowStartUp, ScannerGreetingQOnTheGivenPort)
{
    SimProcess sim({"--start-in-boot", "--boot", "Q"});
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    SimRig rig(sim);
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(rig.frm.Form_Load(WindowCommandLine{QString(), "1", "Halvern 1450"}), FormLoadEnd::Ready);
    EXPECT_FALSE(rig.state.target().bTargetA);
    EXPECT_EQ(rig.label("lblPort"), QStringLiteral("1"));
    EXPECT_EQ(rig.window.lamp(LampId::ComStatus), Lamp::Green);
    // One request only: the second attempt belongs to a scanner that did not answer "Q".
    EXPECT_LT(clock.elapsed(), 2 * rig.timings.identifySettle.count() + rig.timings.identifyGreeting.count());
    EXPECT_EQ(rig.state.link().timers().nTimeoutsQ, 0);
}

TEST(WindowStartUp, ScannerAnsweringNeitherLetter)
{
    SimProcess sim({"--start-in-boot", "--boot", "Q", "--greet-late", "60000"});
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    SimRig rig(sim);
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(rig.frm.Form_Load(WindowCommandLine{QString(), "1", "Halvern 1450"}), FormLoadEnd::Ready);
    EXPECT_FALSE(rig.state.target().bTargetA);
    // Two attempts of a pause and a full greeting wait each, both time-outs silent.
    EXPECT_GE(clock.elapsed(), 2 * (rig.timings.identifySettle + rig.timings.identifyGreeting).count());
    EXPECT_EQ(rig.state.link().timers().nTimeoutsQ, 1);
    EXPECT_EQ(rig.state.link().timers().nTimeoutsA, 1);
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST(WindowUpdate, FoundScannerProgrammedThroughTheWindow)
{
    SimProcess sim({"--model", "halvern", "--boot", "Q"});
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    SimRig rig(sim);

    ASSERT_EQ(rig.frm.Form_Load(std::nullopt), FormLoadEnd::Ready);
    EXPECT_EQ(rig.label("lblScanMod"), QStringLiteral("Halvern 1450"));
    EXPECT_EQ(rig.label("lblPort"), QStringLiteral("1"));
    EXPECT_FALSE(rig.window.isPortMenuVisible());
    EXPECT_EQ(rig.label("lblFirmFile"), QStringLiteral("Hlv1450ver5_9.s19"));
    EXPECT_EQ(rig.window.lamp(LampId::FileOk), Lamp::Green);
    ASSERT_TRUE(rig.window.isEnabled(ControlId::ProgramButton));
    rig.window.adjustSize();
    savePicture(rig.window, "update-start.png");

    // Look at the window once while blocks are being sent.
    bool sawProgress = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *bar = rig.window.findChild<QProgressBar *>(QStringLiteral("prgBlocks"));
        if (!sawProgress && !bar->isHidden() && bar->value() > bar->maximum() / 3) {
            sawProgress = true;
            EXPECT_TRUE(rig.window.isUpdatingNoteVisible());
            EXPECT_FALSE(rig.window.isEnabled(ControlId::ExitButton));
            savePicture(rig.window, "update-updating.png");
        }
    });
    watch.start(5);
    rig.dialogs.onMessage = [&](const test::ShownMessage &) { savePicture(rig.window, "update-finished.png"); };

    rig.window.findChild<QPushButton *>(QStringLiteral("cmdProgram"))->click();

    ASSERT_FALSE(rig.dialogs.messages.empty());
    EXPECT_EQ(rig.dialogs.messages.back().text,
              QStringLiteral("The firmware update is complete. The Romwright will now exit."));
    EXPECT_EQ(rig.ends, QList<int>{0});
    EXPECT_TRUE(sawProgress);
    EXPECT_EQ(rig.window.lamp(LampId::Program), Lamp::Green);
    EXPECT_FALSE(rig.port->portOpen());

    ASSERT_TRUE(sim.waitForExit(5s));
    const QByteArray flash = sim.dump();
    ASSERT_EQ(flash.size(), 65536);
    int sent = 0;
    for (const FlashBlock &block : rig.state.firmware().FlashBlocks64) {
        if (block.Length == 0 || isErased(block, rig.state.firmware().FirmwareImage))
            continue;
        ++sent;
        for (int i = 0; i < block.Length; ++i)
            ASSERT_EQ(std::uint8_t(flash[block.Address + i]),
                      rig.state.firmware().FirmwareImage[std::size_t(block.Address + i)])
                << "block at " << block.Address;
    }
    EXPECT_GT(sent, 0);
}
