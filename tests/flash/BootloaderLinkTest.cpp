// Waits, greeting time-outs, the start-up identification and the port set-up,
// driven through a port whose bytes and failures the test controls.
#include "flash/BootloaderLink.h"
#include "FakePort.h"
#include "flash/FlashMessages.h"
#include "view/ViewState.h"
#include "support/ScriptedDialogs.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;
using test::FakePort;

namespace {

struct Rig {
    explicit Rig(FlashTimings timings = FlashTimings{}.scaled(0.01), bool open = true)
        : link(port, sleeper, timings)
    {
        if (open)
            port.open();
    }
    FakePort port;
    ViewState view;
    test::ScriptedDialogs dialogs;
    test::CountingSleeper sleeper;
    BootloaderLink link;
};

} // namespace

TEST(BootloaderLink, OnlyAReadThatBeginsWithTheLetterSatisfiesAWait)
{
    struct Case {
        const char *name;
        bool flushed;
        QByteArray waiting;            // in the buffer before the wait
        std::vector<QByteArray> reads; // arriving one after another during the wait
        Outcome expected;
    };
    const Case cases[] = {
        {"waiting letter taken", false, "R", {}, Outcome::Ok},
        {"later letter behind noise in one read", false, {}, {"xR"}, Outcome::EndStalled},
        {"letter in a later read", false, {}, {"xR", "R"}, Outcome::Ok},
        {"letter first, rest dropped", false, {}, {"Rxx"}, Outcome::Ok},
        {"flushed: noise then letter", true, {}, {"x", "R"}, Outcome::Ok},
        {"flushed: other letter only", true, {}, {"p"}, Outcome::EndStalled},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig r(FlashTimings{}.scaled(0.02));
        r.port.deliverNow(c.waiting);
        r.port.laterReads.assign(c.reads.begin(), c.reads.end());
        if (c.waiting.isEmpty() && !c.reads.empty()) {
            r.port.deliver(r.port.laterReads.front());
            r.port.laterReads.pop_front();
        }
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(c.flushed ? r.link.WaitForByteFlushed('R', 80ms) : r.link.WaitForByte('R', 80ms), c.expected);
        if (c.expected == Outcome::EndStalled) {
            EXPECT_GE(clock.elapsed(), 80) << "a wait ends at its bound, not before";
        }
    }
}

TEST(BootloaderLink, ALostLineEndsAWaitAtOnceAndReopeningForgetsIt)
{
    Rig r;
    QTimer::singleShot(10, &r.port, [&r] { r.port.loseLine(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(r.link.WaitForByte('R', 5s), Outcome::EndConnectionLost);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(r.link.OpenPort(1));
    EXPECT_EQ(r.link.SendByte('z'), Outcome::Ok);
}

TEST(BootloaderLink, GreetingTimeOutsAreSilentWhenOddAndEndTheProgramWhenEven)
{
    enum Wait { Q, A };
    const std::vector<std::vector<Wait>> sequences = {{Q, Q}, {Q, A, A}, {A, Q, Q}};
    for (std::size_t s = 0; s < sequences.size(); ++s) {
        SCOPED_TRACE(s);
        Rig r;
        for (std::size_t i = 0; i < sequences[s].size(); ++i) {
            r.link.timers().restartWaitForQ(20ms);
            const Outcome outcome = sequences[s][i] == Q ? r.link.WaitForLetterQ('Q') : r.link.WaitForLetterA('A');
            const bool last = i + 1 == sequences[s].size();
            ASSERT_EQ(outcome, last ? Outcome::EndTimedOut : Outcome::Missed);
        }
    }
}

TEST(BootloaderLink, AnEmptyGreetingLetterIsNeverMatched)
{
    Rig r;
    r.link.timers().restartWaitForQ(30ms);
    QTimer::singleShot(5, &r.port, [&r] { r.port.deliver("Q"); });
    EXPECT_EQ(r.link.WaitForLetterQ(firstLetter(QString())), Outcome::Missed);
}

TEST(BootloaderLink, ArmingTheWaitForZRestartsItsTimerForTheFullInterval)
{
    Rig r(FlashTimings{});
    r.link.timers().start();
    QEventLoop loop;
    QTimer::singleShot(1200ms, &loop, &QEventLoop::quit); // the timer is well into its period
    loop.exec();
    QElapsedTimer clock;
    clock.start();
    r.link.timers().armWaitForZ();
    EXPECT_FALSE(r.link.WaitForLetterZ('Z'));
    EXPECT_GE(clock.elapsed(), 3490);
    EXPECT_LT(clock.elapsed(), 4500);
    EXPECT_TRUE(r.dialogs.messages.empty());
}

TEST(BootloaderLink, IdentifyTargetSetsTheKindFromTheGreetingAndIgnoresStaleBytes)
{
    struct Case {
        const char *name;
        bool portOpen;
        QByteArray stale;   // waiting before the first request
        QByteArray answer;  // to each request from greetOn on
        int greetOn;        // 0: never
        bool answerAtOnce;  // the answer is there within the pause after "R2"
        bool bTargetA;
        int requests;
        int nTimeoutsQ;
        int nTimeoutsA;
    };
    const Case cases[] = {
        {"no port", false, {}, "Q", 1, false, false, 0, 0, 0},
        {"Q at once", true, {}, "Q", 1, false, false, 1, 0, 0},
        {"A on the second request", true, {}, "A", 2, false, true, 2, 1, 0},
        {"A to both requests", true, {}, "A", 1, false, true, 2, 1, 0},
        {"silence", true, {}, {}, 0, false, false, 2, 1, 1},
        {"greeting within the pause", true, {}, "Q", 1, true, false, 1, 0, 0},
        {"stale greeting, then silence", true, "Q", {}, 0, true, false, 2, 1, 1},
        {"stale Q, then A", true, "Q", "A", 1, true, true, 2, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig r(FlashTimings{}.scaled(0.01), c.portOpen);
        r.port.answerAtOnce = c.answerAtOnce;
        r.port.deliverNow(c.stale);
        int requests = 0;
        r.port.responder = [&](const QByteArray &w) {
            EXPECT_EQ(w, QByteArray("R2"));
            ++requests;
            return c.greetOn > 0 && requests >= c.greetOn ? c.answer : QByteArray();
        };
        TargetState target;
        EXPECT_EQ(r.link.IdentifyTarget(target), Outcome::Ok);
        EXPECT_EQ(target.bTargetA, c.bTargetA);
        EXPECT_EQ(requests, c.requests);
        EXPECT_EQ(r.link.timers().nTimeoutsQ, c.nTimeoutsQ);
        EXPECT_EQ(r.link.timers().nTimeoutsA, c.nTimeoutsA);
        EXPECT_TRUE(r.dialogs.messages.empty());
        // Each attempt settles first: 1000 ms scaled, plus the short pause after "R2".
        EXPECT_EQ(r.sleeper.total, (c.requests > 1 ? 2 : 1) * 11ms);
    }
}

TEST(BootloaderLink, OpenPortFailsOnlyWhenThePortCannotBeHad)
{
    struct Case {
        CommError openError;
        bool ok;
        bool open;
    };
    const Case cases[] = {
        {CommError::None, true, true},
        {CommError::PortInUse, false, false},
        {CommError::PermissionDenied, false, false},
        {CommError::NoSuchPort, true, false},
        {CommError::DeviceNotOpen, true, false},
    };
    for (const Case &c : cases) {
        Rig r(FlashTimings{}, false);
        r.port.openError = c.openError;
        EXPECT_EQ(r.link.OpenPort(3), c.ok) << static_cast<int>(c.openError);
        EXPECT_EQ(r.port.portOpen(), c.open);
        EXPECT_EQ(r.port.settings(), QStringLiteral("38400,n,8,1"));
    }
}
