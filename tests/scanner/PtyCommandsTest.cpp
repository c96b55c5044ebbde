// The command queue and the receive handler on a real line.
#include "PtyRig.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

namespace {

// When the scanner heard the first byte of each command, in seconds.
std::vector<double> commandTimes(const SimProcess &sim, const QByteArray &firstBytes)
{
    std::vector<double> times;
    for (const Heard &h : heardBytes(sim.transcript()))
        if (firstBytes.contains(h.byte))
            times.push_back(h.at);
    return times;
}

} // namespace

TEST(PtyCommands, QueueWritesEachCommandAfterTheLastOnesWait)
{
    SimProcess sim({QStringLiteral("--model"), QStringLiteral("halvern")});
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    PtyRig rig(sim.link());
    ASSERT_TRUE(rig.openAt(1));

    Commands &queue = rig.scanner.commands();
    queue.Add(QStringLiteral("M3"), true)->setWait(200ms);
    const auto r5 = queue.Add(QStringLiteral("R5"), true);
    const auto a2 = queue.Add(QStringLiteral("A2"), true);
    EXPECT_TRUE(queue.Send());
    EXPECT_EQ(r5->Answer(), QLatin1String("OK\r\n"));
    EXPECT_EQ(a2->Answer(), QLatin1String("OK\r\n"));
    EXPECT_EQ(queue.Count(), 0);

    rig.port->setPortOpen(false);
    sim.stop();
    const std::vector<double> at = commandTimes(sim, "MRA");
    ASSERT_EQ(at.size(), 3u);
    EXPECT_GE(at[1] - at[0], 0.15); // 200 ms, less what the line may have held back of "M"
    EXPECT_GE(at[2] - at[1], 0.20); // 250 ms
}

TEST(PtyCommands, AnUnansweredCommandStopsTheQueue)
{
    SimProcess sim({QStringLiteral("--model"), QStringLiteral("jorlith"), QStringLiteral("--mute"), QStringLiteral("R5")});
    ASSERT_TRUE(sim.isReady());
    PtyRig rig(sim.link());
    ASSERT_TRUE(rig.openAt(1));

    Commands &queue = rig.scanner.commands();
    queue.Add(QStringLiteral("M3"), true)->setWait(200ms);
    const auto r5 = queue.Add(QStringLiteral("R5"), true);
    queue.Add(QStringLiteral("A2"), true);
    EXPECT_FALSE(queue.Send());
    EXPECT_EQ(r5->Answer(), QLatin1String("The scanner failed to respond to the \"R5\" command."));
    EXPECT_EQ(queue.Count(), 0);

    rig.port->setPortOpen(false);
    sim.stop();
    EXPECT_EQ(commandTimes(sim, "A").size(), 0u); // "A2" never went out
}

TEST(PtyCommands, R1FromTheScannerGetsItsFollowUp)
{
    SimProcess sim({QStringLiteral("--model"), QStringLiteral("halvern"), QStringLiteral("--send-r1"), QStringLiteral("1500")});
    ASSERT_TRUE(sim.isReady());
    PtyRig rig(sim.link());
    qint16 commPort = 0;
    ASSERT_EQ(rig.scanner.DetectScanner(commPort), Detection::Found);
    ASSERT_TRUE(rig.openAt(commPort));
    rig.scanner.setReceiveHandling(true);

    const int before = rig.sleeper.count;
    EXPECT_TRUE(waitUntil([&] { return rig.sleeper.count == before + 3; }, 4s));
    rig.scanner.setReceiveHandling(false);
    rig.port->setPortOpen(false);
    sim.stop();
    std::string heard;
    for (const Heard &h : heardBytes(sim.transcript()))
        heard += h.byte;
    EXPECT_EQ(heard, "VM3R5A2");
}

TEST(PtyCommands, NoiseOnTheLineIsDroppedAfterTheBound)
{
    // The scanner sends "R1" at 38400 while the port listens at 19200: what
    // arrives is no reply the handler knows.
    SimProcess sim({QStringLiteral("--model"), QStringLiteral("halvern"), QStringLiteral("--send-r1"), QStringLiteral("600")});
    ASSERT_TRUE(sim.isReady());
    PtyRig rig(sim.link(), ScannerTimings{200ms, 250ms, 300ms});
    ASSERT_TRUE(rig.openAt(1, QStringLiteral("19200,n,8,1")));
    rig.scanner.setReceiveHandling(true);
    QElapsedTimer clock;
    clock.start();
    // The handler reads the noise, waits out its bound and empties the buffers.
    EXPECT_FALSE(waitUntil([&] { return rig.sleeper.count > 0; }, 1800ms));
    EXPECT_EQ(rig.port->inBufferCount(), 0);
    rig.port->setPortOpen(false);
    sim.stop();
    EXPECT_TRUE(heardBytes(sim.transcript()).empty()); // nothing was sent in reply
}
