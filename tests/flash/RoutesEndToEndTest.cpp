// Whole updates against the scanner simulator on a pseudo-terminal: the
// three routes, the bar-code processor whose boot software differs from the
// one seen at start-up, and the faults the simulator can inject, with the
// flash the simulator ends up holding. A stall and late greetings on a real
// line: WindowFailuresTest, MultiScannerTest.
#include "app/update/UpdateController.h"
#include "app/update/UpdateInputs.h"
#include "app/update/UpdateMessages.h"
#include "flash/BlockRecords.h"
#include "flash/UpdateSequence.h"
#include "image/FileOpen.h"
#include "platform/FileSystem.h"
#include "platform/LineClock.h"
#include "platform/PortMap.h"
#include "platform/PosixSerialPort.h"
#include "support/ScriptedDialogs.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"
#include "view/ViewState.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace romwright;
using namespace std::chrono_literals;
using test::SimProcess;

namespace {

constexpr const char *kSample = "Hlv1450ver5_9.s19";

// The pauses short for a quick suite. A bound that must be met is long
// enough for a busy machine to meet it, and costs nothing when it is: the
// letter ends the wait. The old boot software repeats "Z" every 500 ms.
FlashTimings fastTimings(bool oldBoot)
{
    FlashTimings t = FlashTimings{}.scaled(0.05);
    t.waitForZInterval = oldBoot ? 1500ms : 200ms;
    t.identifyGreeting = t.updateGreeting = t.ackBound = t.eraseBound = 1000ms;
    return t;
}

// The simulator started with args, and the window's state with a real port
// on its terminal.
struct Session {
    explicit Session(const char *args)
        // Nothing here asks the restarted scanner who it is: it need not wait to be asked.
        : sim(QString::fromLatin1(args).split(QLatin1Char(' ')) << QStringLiteral("--silent-after-update")),
          port(PortMap::fromList(sim.link())), firmware(std::make_unique<FirmwareSet>()),
          link(port, clock, fastTimings(QByteArray(args).contains('Z'))), controller(view, dialogs, inputs),
          answers(inputs, dialogs), update(link, answers, target)
    {
        update.listen(controller);
        // The simulator must see each rate change before the bytes after it, however late it wakes.
        PosixSerialPort::setPseudoTerminalQuiet(100ms);
    }

    // Start-up as the window runs it, then a click on PROGRAM.
    Outcome run(bool barCode = false)
    {
        link.timers().start();
        EXPECT_TRUE(link.OpenPort(1));
        link.IdentifyTarget(target);
        inputs.setBarCode(barCode);
        update.setProcessor(barCode ? Processor::BarCode : Processor::Main);
        const QString folder = test::sampleDir();
        inputs.setFile(QString::fromLatin1(kSample));
        const FileOpenResult loaded = FileOpen(joinPath(folder, QString::fromLatin1(kSample)), *firmware,
                                               FileOpenContext{files, folder});
        EXPECT_TRUE(loaded.allValid());
        clicked.start();
        return update.cmdProgram_Click(*firmware);
    }

    QElapsedTimer clicked;

    SimProcess sim;
    PosixSerialPort port;
    ViewState view;
    test::ScriptedDialogs dialogs;
    LineClock clock;
    LocalFileSystem files;
    UpdateInputs inputs{view};
    TargetState target;
    std::unique_ptr<FirmwareSet> firmware;
    BootloaderLink link;
    UpdateController controller;
    UpdateAnswers answers;
    UpdateSequence update;
};

// Erases the table's blocks when asked, then programs its non-empty ones;
// gives how many it programmed.
int program(QByteArray &flash, std::span<const FlashBlock> table, const MemoryImage &image, bool erase)
{
    int programmed = 0;
    for (const FlashBlock &b : table)
        if (erase)
            flash.replace(b.Address, b.Length, QByteArray(b.Length, '\xFF'));
    for (const FlashBlock &b : table) {
        if (b.Length == 0 || blockIsErased(b, image))
            continue;
        ++programmed;
        const auto *data = reinterpret_cast<const char *>(image.data()) + b.Address;
        flash.replace(b.Address, b.Length, QByteArray(data, b.Length));
    }
    return programmed;
}

} // namespace

TEST(RoutesEndToEnd, EachRouteProgramsExactlyTheNonEmptyBlocksOfItsTable)
{
    const struct {
        const char *args;
        bool barCode, blocks128;
        const char *request;  // as the simulator notes it
        bool wexmoor = false; // a Wexmoor's Main is told to have its BarCode updated as well
    } cases[] = {
        {"--boot Q", false, false, "request R2"},
        {"--boot A", false, true, "request R2", true},
        {"--boot Z", false, false, "restart into the boot software for the main processor"},
        // Start-up saw the main processor's "A"; the bar-code processor still has the old boot software.
        {"--boot A --boot-r4 Z", true, false, "restart into the boot software for the bar-code processor",
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        const bool bootloader = QByteArray(c.args).contains('Z');
        Session s(c.args);
        s.inputs.showModel(QLatin1String(c.wexmoor ? "Wexmoor 3650" : "Halvern 1450"));
        ASSERT_EQ(s.run(c.barCode), Outcome::EndCompleted);
        EXPECT_FALSE(s.port.portOpen());
        ASSERT_TRUE(s.sim.waitForExit());

        // The bootloader's blocks when it was installed, then the firmware
        // table erased and its non-empty blocks programmed.
        const FirmwareSet &fw = *s.firmware;
        QByteArray expected(0x10000, '\xFF');
        const int bootRecords =
            bootloader ? program(expected, fw.BootloaderBlocks, fw.BootloaderImage, false) : 0;
        const int records = c.blocks128 ? program(expected, fw.FlashBlocks128, fw.FirmwareImage, true)
                                        : program(expected, fw.FlashBlocks64, fw.FirmwareImage, true);
        const QByteArray dump = s.sim.dump();
        ASSERT_EQ(dump.size(), 0x10000);
        for (int a = 0; a < 0x10000; ++a)
            ASSERT_EQ(dump[a], expected[a]) << "first difference at 0x" << std::hex << a;

        // One acknowledged record per non-empty block, none refused.
        const QString log = s.sim.transcript();
        EXPECT_FALSE(log.contains(QLatin1String("rejected"))) << qPrintable(log.right(2000));
        EXPECT_EQ(log.count(QLatin1String("out 0x70 'p'")), records);
        EXPECT_TRUE(log.contains(QLatin1String(c.request)));
        if (bootloader) {
            EXPECT_EQ(s.dialogs.messages.front().title, QStringLiteral("Power Cycle"));
            EXPECT_EQ(log.count(QLatin1String("out 0x52 'R'")), 3 + bootRecords);
            // The RAM part of the loader file, 0x0050 to 0x044F, as one piece.
            const QByteArray ram(reinterpret_cast<const char *>(fw.RamLoaderImage.data()) + 0x0050, 1024);
            EXPECT_TRUE(log.contains("RAM loader received, 1024 bytes: " +
                                     QString::fromLatin1(ram.toHex().toUpper())));
        }
        EXPECT_EQ(s.dialogs.messages.back().text,
                  QLatin1String(messages::kComplete) +
                      QLatin1String(c.wexmoor && !c.barCode ? messages::kCompleteUpdateBarCode : ""));
    }
}

TEST(RoutesEndToEnd, EveryInjectedFaultEndsTheUpdateWithinItsBound)
{
    using enum Outcome;
    using namespace messages;
    const FlashTimings t = fastTimings(false);
    // What the scanner is left with decides the way back the message gives;
    // each of these leaves it unable to scan: a critical icon.
    auto said = [](const char *reason, const char *wayBack) {
        return QStringLiteral("%1 %2").arg(QLatin1String(reason), QLatin1String(wayBack));
    };
    const QString stalledEmpty = said(kStalledReason, kWayBackNoFirmware);
    const struct {
        const char *name, *args;
        Outcome expected;
        QString message;
        std::chrono::milliseconds within; // from the click
    } cases[] = {
        {"hang-up in the RAM loader", "--boot Z --hangup-after 2", EndConnectionLost,
         said(kConnectionLostReason, kWayBackReplacingBoot), 3s},
        {"erase slower than its bound", "--boot A --slow-erase 4000", EndStalled, stalledEmpty,
         t.eraseBound + 3s},
        {"hang-up among the records", "--boot Q --hangup-after 5", EndConnectionLost,
         said(kConnectionLostReason, kWayBackNoFirmware), 3s},
        {"stray byte before an acknowledgement", "--boot Q --noise", EndStalled, stalledEmpty,
         t.ackBound + 3s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Session s(c.args);
        EXPECT_EQ(s.run(), c.expected);
        EXPECT_LT(s.clicked.elapsed(), c.within.count());
        EXPECT_FALSE(s.port.portOpen());
        ASSERT_FALSE(s.dialogs.messages.empty());
        EXPECT_EQ(s.dialogs.messages.back().text, c.message);
        EXPECT_EQ(s.dialogs.messages.back().icon, MessageIcon::Critical);
    }
}
