// The handler for what a running scanner sends on its own.
#include "ScannerRig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

namespace {

// A detected scanner whose port listens for what it sends on its own.
struct Listener : ScannerRig {
    explicit Listener(QByteArray identity = "HLV 1450OK\r\n", std::chrono::milliseconds bound = 100ms)
        : ScannerRig(runningScanner(identity), ScannerTimings{200ms, 250ms, bound})
    {
        detect();
        scanner.setReceiveHandling(true);
    }

    // Lets the handler run for bytes that arrived.
    void deliver(const QByteArray &bytes)
    {
        port.arrive(bytes);
        QCoreApplication::sendPostedEvents();
    }
};

const QStringList kFollowUp{QStringLiteral("write 1 9600 M3"), QStringLiteral("write 1 9600 R5"),
                            QStringLiteral("write 1 9600 A2")};
const QStringList kEmptied{QStringLiteral("clear out"), QStringLiteral("clear in")};

} // namespace

TEST(ReceiveHandler, RepliesOfARunningScanner)
{
    struct Case {
        const char *what;
        QByteArray identity;
        qint32 threshhold;
        QByteArray arriving;
        QStringList log;
    };
    const Case cases[] = {
        {"R1 from a Halvern", "HLV 1450OK\r\n", 0, "R1\r\n", kFollowUp},
        {"R1 and more in one read", "HLV 1450OK\r\n", 0, "R1\r\nXYZ", kFollowUp},
        {"R1 from a Wexmoor has no follow-up", "WX 3650OK\r\n", 0, "R1\r\n", {}},
        {"OK", "HLV 1450OK\r\n", 0, "OK\r\n", {}},
        {"K", "HLV 1450OK\r\n", 0, "K\r\n", {}},
        {"a notification with nothing to read", "HLV 1450OK\r\n", 0, "", kEmptied},
        {"a full record of noise", "HLV 1450OK\r\n", Scanner::kRecordLength, QByteArray(217, 'x'), kEmptied},
        {"more than a record of noise", "HLV 1450OK\r\n", Scanner::kRecordLength, QByteArray(300, 'x'), kEmptied},
        {"single read: R1", "HLV 1450OK\r\n", 4, "R1\r\n", kFollowUp},
        {"single read: K", "HLV 1450OK\r\n", 4, "K\r\nR1\r\n", {}},
        {"single read: noise", "HLV 1450OK\r\n", 4, "R1", kEmptied},
        {"single read: OK without line end", "HLV 1450OK\r\n", 4, "OK\r", kEmptied},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Listener l(c.identity, 5s);
        l.scanner.setThreshhold(c.threshhold);
        QElapsedTimer clock;
        clock.start();
        l.deliver(c.arriving);
        EXPECT_EQ(l.port.log, c.log);
        EXPECT_LT(clock.elapsed(), 2000); // none of these waits for the bound
    }
}

TEST(ReceiveHandler, AReplyInPiecesIsCollected)
{
    Listener l;
    QTimer::singleShot(20ms, &l.port, [&] { l.port.arrive("1\r"); });
    QTimer::singleShot(40ms, &l.port, [&] { l.port.arrive("\n"); });
    l.deliver("R");
    EXPECT_EQ(l.port.log, kFollowUp);
}

TEST(ReceiveHandler, AnUnfinishedReplyIsDroppedAfterTheBound)
{
    Listener l(QByteArray("HLV 1450OK\r\n"), 150ms);
    QElapsedTimer clock;
    clock.start();
    l.deliver("R1\r");
    EXPECT_GE(clock.elapsed(), 140);
    EXPECT_EQ(l.port.log, kEmptied);
}

TEST(ReceiveHandler, TurningItOffAbandonsAWaitWithoutTouchingThePort)
{
    Listener l(QByteArray("HLV 1450OK\r\n"), 5s);
    QTimer::singleShot(20ms, &l.port, [&] { l.scanner.setReceiveHandling(false); });
    QElapsedTimer clock;
    clock.start();
    l.deliver("R");
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(l.port.log.isEmpty());
    EXPECT_EQ(l.port.inBufferCount(), 0); // only the handler's own read
}

TEST(ReceiveHandler, StaysQuietWhenOffOrWhileProgramming)
{
    {
        Listener l;
        l.scanner.setReceiveHandling(false);
        l.deliver("R1\r\n");
        EXPECT_TRUE(l.port.log.isEmpty());
        EXPECT_EQ(l.port.inBufferCount(), 4); // left for whoever reads the port
    }
    {
        Listener l;
        l.flags.bProgramming = true;
        l.deliver("R1\r\n");
        EXPECT_TRUE(l.port.log.isEmpty());
    }
    {
        // A port handed over later is listened to.
        Listener l;
        FakeSerialPort other;
        other.devices = {{1, FakeDevice{}}};
        other.setPortOpen(true);
        l.scanner.setComm(&other);
        l.deliver("xx");
        EXPECT_TRUE(l.port.log.isEmpty());
        other.arrive("zz\r\n");
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(other.log.filter(QStringLiteral("clear")).size(), 2);
    }
}
