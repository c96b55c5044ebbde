// A running scanner on a manual clock: the command queue with SendCommand's
// table, and the handler for what the scanner sends on its own.
#include "ScannerRig.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

namespace {

// A detected scanner whose port listens, with a 100 ms bound on a reply.
struct Listener : ScannerRig {
    explicit Listener(QByteArray identity = "HLV 1450OK\r\n")
        : ScannerRig(ScannerTimings{200ms, 250ms, 100ms})
    {
        attach(std::move(identity));
        scanner.setReceiveHandling(true);
    }
    // Bytes arrive and the handler runs for them.
    void deliver(const QByteArray &bytes)
    {
        port.arrive(bytes);
        QCoreApplication::sendPostedEvents();
    }
};

const QStringList kFollowUp{"write 1 9600 M3", "write 1 9600 R5", "write 1 9600 A2"};
const QStringList kEmptied{"clear out", "clear in"};

} // namespace

TEST(Commands, CommandsWithoutTextAnswerNeedNoneAndNothingSentIsAFailure)
{
    ScannerRig rig;
    rig.attach("HLV 1450OK\r\n", {"T4", "M6"});
    Commands &queue = rig.scanner.commands();
    const auto sent = {queue.Add(QStringLiteral("T4")), queue.ForceOKResponse(),
                       queue.Add(QStringLiteral("M6"))};
    EXPECT_EQ(queue.ForceOKResponse(), nullptr);         // one empty command per exchange
    EXPECT_EQ(queue.Add(QStringLiteral("T4")), nullptr); // keyed by the exact text
    EXPECT_NE(queue.Add(QStringLiteral("t4")), nullptr);
    EXPECT_TRUE(queue.Send());
    for (const auto &command : sent) {
        ASSERT_NE(command, nullptr);
        EXPECT_EQ(command->Answer(), QLatin1String("OK"));
    }
    // Nothing to send is a failure; so is a closed port, and the commands do not linger.
    EXPECT_FALSE(queue.Send());
    rig.port.writes.clear();
    rig.port.setPortOpen(false);
    queue.Add(QStringLiteral("R5"), true);
    EXPECT_FALSE(queue.Send());
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_TRUE(rig.port.writes.empty());
}

// Each command goes out once the one before has had its wait (250 ms when
// the table gives none); the result is the last command's answer.
TEST(SendCommand, QueuesTheRowOfTheDetectedModelWithItsWaits)
{
    // Per command index: each write as "time:command", then the time SendCommand returns.
    const struct {
        qint32 index;
        const char *named; // Halvern 1450 and Jorlith 750
        const char *other;
    } cases[] = {
        {0, "0:R1 250:M3 450:R5 700:A2 950", "0"},
        {1, "0", "0"}, // the named models answer "OK" without a write
        {4, "0:V 500", "0:V 500"},
        {6, "0", "0"}, // refused for the named models
        {7, "0:M3 200:R5 450:A2 700", "0"},
        {12, "0:A2 1", "0:A2 1"},
        {13, "0", "0"},
        {-1, "0", "0"},
    };
    const std::pair<const char *, QByteArray> scanners[] = {
        {"Halvern 1450", "HLV 1450OK\r\n"}, {"Wexmoor 3650", "WX 3650OK\r\n"}, {"Scanner Not Found", "?"}};
    for (const auto &[name, identity] : scanners) {
        const bool named = QByteArray(name) == "Halvern 1450";
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(name) + " index " + std::to_string(c.index));
            ScannerRig rig;
            rig.attach(identity);
            ASSERT_EQ(rig.scanner.Name(), QLatin1String(name));
            const QString result = rig.scanner.SendCommand(c.index);
            QStringList timeline;
            for (std::size_t i = 0; i < rig.port.writes.size(); ++i)
                timeline << QString::number((rig.port.writeTimes[i] - rig.start).count()) + QLatin1Char(':') +
                                QString::fromLatin1(rig.port.writes[i]);
            timeline << QString::number((rig.clock.now() - rig.start).count());
            EXPECT_EQ(timeline.join(QLatin1Char(' ')), QLatin1String(named ? c.named : c.other));
            // The answer is the last command's echo.
            EXPECT_EQ(result, named && c.index == 1 ? QStringLiteral("OK")
                              : rig.port.writes.empty()
                                  ? QString()
                                  : QString::fromLatin1(rig.port.writes.back() + "\r\n"));
        }
    }
}

TEST(SendCommand, AnUnansweredMiddleCommandLeavesTheResultEmpty)
{
    ScannerRig rig;
    rig.attach("JL 750OK\r\n", {"R5"});
    EXPECT_TRUE(rig.scanner.SendCommand(7).isEmpty());
    EXPECT_EQ(rig.port.written(), "M3R5");
}

TEST(ReceiveHandler, RepliesOfARunningScanner)
{
    struct Case {
        const char *what;
        QByteArray identity;
        qint32 threshhold;
        QByteArray arriving;
        std::vector<std::pair<int, QByteArray>> later; // further pieces, at these times
        QStringList log;
        int handledAt; // when the handler gave its answer or gave up
    };
    const Case cases[] = {
        {"R1 from a Halvern", "HLV 1450OK\r\n", 0, "R1\r\n", {}, kFollowUp, 0},
        {"R1 and more in one read", "HLV 1450OK\r\n", 0, "R1\r\nXYZ", {}, kFollowUp, 0},
        {"R1 in pieces", "HLV 1450OK\r\n", 0, "R", {{20, "1\r"}, {40, "\n"}}, kFollowUp, 40},
        {"R1 from a Wexmoor has no follow-up", "WX 3650OK\r\n", 0, "R1\r\n", {}, {}, 0},
        {"OK", "HLV 1450OK\r\n", 0, "OK\r\n", {}, {}, 0},
        {"K", "HLV 1450OK\r\n", 0, "K\r\n", {}, {}, 0},
        {"a notification with nothing to read", "HLV 1450OK\r\n", 0, "", {}, kEmptied, 0},
        {"an unfinished reply, dropped at the bound", "HLV 1450OK\r\n", 217, "R1\r", {}, kEmptied, 100},
        {"a full record of noise", "HLV 1450OK\r\n", 217, QByteArray(217, 'x'), {}, kEmptied, 0},
        {"more than a record of noise", "HLV 1450OK\r\n", 217, QByteArray(300, 'x'), {}, kEmptied, 0},
        {"single read: R1", "HLV 1450OK\r\n", 4, "R1\r\n", {}, kFollowUp, 0},
        {"single read: K", "HLV 1450OK\r\n", 4, "K\r\nR1\r\n", {}, {}, 0},
        {"single read: noise", "HLV 1450OK\r\n", 4, "R1", {}, kEmptied, 0},
        {"single read: OK without line end", "HLV 1450OK\r\n", 4, "OK\r", {}, kEmptied, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Listener l(c.identity);
        l.scanner.setThreshhold(c.threshhold);
        for (const auto &[at, bytes] : c.later)
            l.port.arriveAt(l.start + std::chrono::milliseconds(at), bytes);
        l.deliver(c.arriving);
        EXPECT_EQ(l.port.log, c.log);
        const Clock::ms handled = l.port.writes.empty() ? l.clock.now() : l.port.writeTimes.front();
        EXPECT_EQ((handled - l.start).count(), c.handledAt);
    }
}

// Handling turned off, PROGRAM pressed, another port handed over: before
// bytes arrive nothing is read, during the wait for the rest of a reply the
// wait is abandoned; either way the port is left alone.
TEST(ReceiveHandler, LeavesThePortAloneOnceItIsNotItsToAnswer)
{
    FakePort other;
    // What, how, and whether before bytes arrive and/or during the wait: PROGRAM
    // turns handling off as well; the program's end is seen by a wait only.
    const std::tuple<const char *, std::function<void(Listener &)>, std::vector<bool>> cases[] = {
        {"handling turned off", [](Listener &l) { l.scanner.setReceiveHandling(false); }, {true, false}},
        {"PROGRAM pressed", [](Listener &l) { l.flags.bProgramming = true; }, {true}},
        {"another port handed over", [&other](Listener &l) { l.scanner.setComm(&other); }, {true, false}},
        {"the program ends", [](Listener &l) { l.clock.endWaits(); }, {false}},
    };
    for (const auto &[what, stop, when] : cases) {
        for (const bool before : when) {
            SCOPED_TRACE(std::string(what) + (before ? " before" : " during the wait"));
            Listener l;
            if (before) {
                stop(l);
                l.deliver("R1\r\n");
                EXPECT_EQ(l.port.inBufferCount(), 4); // left for whoever reads the port
            } else {
                l.clock.at(l.start + 20ms, [&l, &stop] { stop(l); });
                l.deliver("R");
                EXPECT_EQ((l.clock.now() - l.start).count(), 20);
            }
            EXPECT_TRUE(l.port.log.isEmpty());
        }
    }
    // The port handed over is the one listened to.
    Listener l;
    other.setPortOpen(true);
    l.scanner.setComm(&other);
    other.arrive("zz\r\n");
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(other.log.filter(QStringLiteral("clear")), kEmptied);
}
