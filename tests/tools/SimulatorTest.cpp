// romwright-sim driven by a scripted program over its pseudo-terminal.
#include "support/SimClient.h"
#include "support/SimProcess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

namespace {

QByteArray hexRecord(int address, const QByteArray &data)
{
    return "P" + QByteArray::number(data.size(), 16).toUpper().rightJustified(2, '0') +
           QByteArray::number(address, 16).toUpper().rightJustified(4, '0') + data.toHex().toUpper();
}

QByteArray binaryRecord(int address, const QByteArray &data, int count = -1, char padding = 0)
{
    QByteArray r;
    r.append('D');
    r.append(char(count < 0 ? data.size() + 3 : count));
    r.append(char(address >> 8));
    r.append(char(address & 0xFF));
    r.append(data);
    r.append(QByteArray(64 - data.size(), padding));
    return r;
}

QByteArray pattern(int size, int seed)
{
    QByteArray b;
    for (int i = 0; i < size; ++i)
        b.append(char((i * 7 + seed) & 0x7F)); // never 0xFF, so programmed bytes show
    return b;
}

// The flash holds exactly these blocks and 0xFF everywhere else.
void expectFlash(const QByteArray &dump, const std::vector<std::pair<int, QByteArray>> &blocks)
{
    QByteArray expected(65536, char(0xFF));
    for (const auto &[address, data] : blocks)
        expected.replace(address, data.size(), data);
    EXPECT_TRUE(dump == expected) << "the flash differs";
}

struct Sim {
    explicit Sim(const QStringList &args, const QString &settings = QStringLiteral("38400,n,8,1"))
        : process(args), client(process.link(), settings)
    {
    }
    SimProcess process;
    SimClient client;
};

} // namespace

TEST(Simulator, SixtyFourByteBootloaderProgramsOnlyValidRecords)
{
    Sim sim({"--start-in-boot", "--boot", "Q"});
    ASSERT_TRUE(sim.process.isReady()) << sim.process.errorText().toStdString();
    SimClient &c = sim.client;
    EXPECT_EQ(c.ask("R4", 1), QByteArray("Q")); // every request is greeted
    EXPECT_EQ(c.ask("z", 1), QByteArray("C"));
    EXPECT_EQ(c.ask("E", 1), QByteArray("e"));

    const QByteArray first = pattern(64, 1), short48 = pattern(48, 2), last = pattern(64, 3);
    EXPECT_EQ(c.ask(hexRecord(0x0450, first), 1), QByteArray("p"));
    EXPECT_EQ(c.ask(hexRecord(0x04D0, short48), 1), QByteArray("p"));
    EXPECT_EQ(c.ask(hexRecord(0xF8C0, last), 1), QByteArray("p"));

    const struct {
        const char *why;
        QByteArray record;
    } rejected[] = {
        {"not a block's start", hexRecord(0x0451, pattern(64, 4))},
        {"wrong length for its block", hexRecord(0x04D0, pattern(64, 4))},
        {"outside the map", hexRecord(0xF900, pattern(64, 4))},
        {"in the hole of the map", hexRecord(0x0600, pattern(64, 4))},
        {"lower-case digits", hexRecord(0x0490, pattern(64, 4)).toLower().replace('p', 'P')},
        {"length zero", "P000490"},
    };
    for (const auto &r : rejected) {
        EXPECT_TRUE(c.ask(r.record, 1, 150ms).isEmpty()) << r.why;
    }
    // A valid record right after the broken ones is taken again.
    EXPECT_EQ(c.ask(hexRecord(0x0490, pattern(64, 5)), 1), QByteArray("p"));

    ASSERT_EQ(c.send("R"), CommError::None);
    c.port().setPortOpen(false);
    ASSERT_TRUE(sim.process.waitForExit(3000ms)) << "the final R ends the simulator";
    expectFlash(sim.process.dump(),
                {{0x0450, first}, {0x04D0, short48}, {0xF8C0, last}, {0x0490, pattern(64, 5)}});
    EXPECT_FALSE(QFileInfo::exists(sim.process.link()));
}

TEST(Simulator, OneTwentyEightByteBootloaderTakesItsOwnRows)
{
    Sim sim({"--start-in-boot", "--boot", "A"});
    ASSERT_TRUE(sim.process.isReady());
    SimClient &c = sim.client;
    EXPECT_EQ(c.ask("R2", 1), QByteArray("A"));
    EXPECT_EQ(c.ask("z", 1), QByteArray("C"));
    EXPECT_EQ(c.ask("E", 1), QByteArray("e"));
    const QByteArray row = pattern(128, 6), beside = pattern(84, 7);
    EXPECT_EQ(c.ask(hexRecord(0x1880, row), 1), QByteArray("p"));
    EXPECT_EQ(c.ask(hexRecord(0x182C, beside), 1), QByteArray("p"));
    EXPECT_TRUE(c.ask(hexRecord(0x0450, pattern(64, 8)), 1, 150ms).isEmpty()) << "a 64-byte row";
    EXPECT_TRUE(c.ask(hexRecord(0xFC00, pattern(128, 8)), 1, 150ms).isEmpty()) << "above the map";
    ASSERT_EQ(c.send("R"), CommError::None);
    c.port().setPortOpen(false);
    ASSERT_TRUE(sim.process.waitForExit(3000ms));
    expectFlash(sim.process.dump(), {{0x1880, row}, {0x182C, beside}});
}

// The whole old-bootloader route as the program runs it: the request at
// 38400, "Z" heard at 19200, the RAM loader and "D" records, then after the
// power cycle the new 64-byte bootloader at 38400 without a request.
TEST(Simulator, OldBootSoftwareInstallsABootloaderThenActsAsTheNewOne)
{
    Sim sim({"--boot", "Z"});
    ASSERT_TRUE(sim.process.isReady());
    SimClient &c = sim.client;
    ASSERT_EQ(c.ask("M3", 4), QByteArray("OK\r\n"));
    ASSERT_EQ(c.send("R2"), CommError::None);
    ASSERT_EQ(c.setRate(19200), CommError::None);
    // "Z" every half second while it waits for "G".
    const QByteArray greetings = c.receiveFor(1200ms);
    EXPECT_GE(greetings.count('Z'), 2) << greetings.toHex().toStdString();
    EXPECT_EQ(c.ask("G", 1), QByteArray("R"));
    EXPECT_EQ(c.ask(pattern(1024, 9), 1), QByteArray("R"));
    EXPECT_EQ(c.ask("E", 1), QByteArray("R"));

    const QByteArray two("\x12\x34", 2), vectors = pattern(52, 10);
    EXPECT_EQ(c.ask(binaryRecord(0xFF80, two), 1), QByteArray("R"));
    EXPECT_EQ(c.ask(binaryRecord(0xFFCC, vectors), 1), QByteArray("R"));
    EXPECT_TRUE(c.ask(binaryRecord(0x0450, pattern(48, 11), 50), 1, 150ms).isEmpty()) << "count byte";
    EXPECT_TRUE(c.ask(binaryRecord(0x0480, pattern(48, 11), -1, 1), 1, 150ms).isEmpty()) << "padding";
    EXPECT_TRUE(c.ask(binaryRecord(0x0600, pattern(64, 11)), 1, 150ms).isEmpty()) << "outside the map";
    const QByteArray top = pattern(64, 12);
    EXPECT_EQ(c.ask(binaryRecord(0xFDC0, top), 1), QByteArray("R"));

    ASSERT_EQ(c.setRate(38400), CommError::None);
    EXPECT_EQ(c.ask("z", 1), QByteArray("C"));
    EXPECT_EQ(c.ask("E", 1), QByteArray("e"));
    const QByteArray firmware = pattern(64, 13);
    EXPECT_EQ(c.ask(hexRecord(0x0450, firmware), 1), QByteArray("p"));
    ASSERT_EQ(c.send("R"), CommError::None);
    c.port().setPortOpen(false);
    ASSERT_TRUE(sim.process.waitForExit(3000ms));
    expectFlash(sim.process.dump(), {{0xFF80, two}, {0xFFCC, vectors}, {0xFDC0, top}, {0x0450, firmware}});
}

TEST(Simulator, AnswersTheIdentityQueryOnlyAtItsRate)
{
    const struct {
        QStringList args;
        int rate;
        QByteArray answer;
    } cases[] = {
        {{}, 38400, "HLV 1450OK\r\n"},
        {{}, 19200, ""},
        {{"--model", "jorlith"}, 38400, "JL 750OK\r\n"},
        {{"--model", "jorlith", "--rate", "19200"}, 19200, "JL 750OK\r\n"},
        {{"--model", "halvern", "--rate", "19200"}, 38400, ""},
        {{"--compat"}, 19200, "JL 19.2kOK\r\n"},
        {{"--compat"}, 38400, ""},
        {{"--boot-prompt", "Q"}, 38400, "Q"},
        {{"--silent"}, 38400, ""},
    };
    for (const auto &c : cases) {
        const std::string trace = c.args.join(' ').toStdString() + " @" + std::to_string(c.rate);
        Sim sim(c.args, QStringLiteral("%1,n,8,1").arg(c.rate));
        ASSERT_TRUE(sim.process.isReady()) << trace;
        ASSERT_EQ(sim.client.send("V\r\n"), CommError::None);
        // As detection does: a blocking 200 ms, then one read.
        const QByteArray answer = sim.client.receiveFor(200ms);
        EXPECT_EQ(answer, c.answer) << trace;
    }
}

TEST(Simulator, AnswersNormalModeCommandsUnlessMuted)
{
    Sim sim({"--model", "jorlith", "--mute", "R5", "--mute", "T4"});
    ASSERT_TRUE(sim.process.isReady());
    for (const char *command : {"M3", "A2", "I3", "M6", "A1", "R1"})
        EXPECT_EQ(sim.client.ask(command, 4), QByteArray("OK\r\n")) << command;
    EXPECT_EQ(sim.client.ask("V", 10), QByteArray("JL 750OK\r\n"));
    for (const char *command : {"R5", "T4"})
        EXPECT_TRUE(sim.client.ask(command, 1, 200ms).isEmpty()) << command;
    EXPECT_EQ(sim.client.ask("A2", 4), QByteArray("OK\r\n"));
}

TEST(Simulator, SendsR1UnsolicitedButOnlyToAnOpenPort)
{
    {
        Sim sim({"--send-r1", "150"});
        ASSERT_TRUE(sim.process.isReady());
        EXPECT_EQ(sim.client.receive(4, 2000ms), QByteArray("R1\r\n"));
    }
    // Bytes sent while nobody listens are gone, as on a cable.
    SimProcess process({"--send-r1", "50"});
    ASSERT_TRUE(process.isReady());
    QElapsedTimer t;
    t.start();
    while (!process.transcript().contains(QStringLiteral("lost: the port is closed")) && t.elapsed() < 2000)
        process.waitForExit(20ms);
    SimClient late(process.link());
    EXPECT_TRUE(late.receiveFor(200ms).isEmpty());
}

TEST(Simulator, FaultsEndTheDialogueAsAsked)
{
    {
        Sim sim({"--start-in-boot", "--stall-after", "2"});
        ASSERT_TRUE(sim.process.isReady());
        EXPECT_EQ(sim.client.ask("z", 1), QByteArray("C"));
        EXPECT_EQ(sim.client.ask("E", 1), QByteArray("e"));
        EXPECT_TRUE(sim.client.ask(hexRecord(0x0450, pattern(64, 1)), 1, 200ms).isEmpty());
        EXPECT_TRUE(sim.process.running());
    }
    {
        // The third acknowledgement, and every seventh after it, has a stray byte in front.
        Sim sim({"--start-in-boot", "--noise"});
        ASSERT_TRUE(sim.process.isReady());
        EXPECT_EQ(sim.client.ask("z", 1), QByteArray("C"));
        EXPECT_EQ(sim.client.ask("E", 1), QByteArray("e"));
        EXPECT_EQ(sim.client.ask(hexRecord(0x0450, pattern(64, 1)), 2), QByteArray("\xFEp"));
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(sim.client.ask(hexRecord(0x0E00 + 64 * i, pattern(64, i)), 1), QByteArray("p")) << i;
        EXPECT_EQ(sim.client.ask(hexRecord(0x0490, pattern(64, 1)), 2), QByteArray("\xFEp"));
    }
}

TEST(Simulator, SlowEraseAndLateGreetingTakeTheirTime)
{
    Sim sim({"--start-in-boot", "--slow-erase", "300", "--greet-late", "250"});
    ASSERT_TRUE(sim.process.isReady());
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(sim.client.ask("R2", 1), QByteArray("Q"));
    EXPECT_GE(t.elapsed(), 240);
    EXPECT_EQ(sim.client.ask("z", 1), QByteArray("C"));
    t.restart();
    EXPECT_TRUE(sim.client.ask("E", 1, 200ms).isEmpty());
    EXPECT_EQ(sim.client.receive(1), QByteArray("e"));
    EXPECT_GE(t.elapsed(), 290);
}

TEST(Simulator, EndsAfterItsTimeOrOnSignalWithDumpAndWithoutLink)
{
    SimProcess timed({"--exit-after", "0.3"});
    ASSERT_TRUE(timed.isReady());
    EXPECT_TRUE(timed.waitForExit(3000ms));
    EXPECT_EQ(timed.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(timed.link()));
    EXPECT_EQ(timed.dump(), QByteArray(65536, char(0xFF)));

    SimProcess killed;
    ASSERT_TRUE(killed.isReady());
    killed.stop();
    EXPECT_FALSE(QFileInfo::exists(killed.link()));
}

// Pacing is the thing tested here, so real time: every byte in either
// direction takes 10 bit times at 38400 baud.
TEST(Simulator, LineRateMakesEveryByteTakeTenBitTimes)
{
    Sim sim({"--start-in-boot", "--line-rate"});
    ASSERT_TRUE(sim.process.isReady());
    ASSERT_EQ(sim.client.ask("z", 1), QByteArray("C"));
    ASSERT_EQ(sim.client.ask("E", 1), QByteArray("e"));
    constexpr int kRecords = 20;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kRecords; ++i)
        ASSERT_EQ(sim.client.ask(hexRecord(0x0E00 + 64 * i, pattern(64, i)), 1), QByteArray("p")) << i;
    const double seconds = t.nsecsElapsed() / 1e9;
    const double bound = kRecords * (135 + 1) * 10 / 38400.0; // record out, "p" back
    EXPECT_GE(seconds, bound * 0.99);
    EXPECT_LT(seconds, bound * 1.5);
}
