// Waits, greeting time-outs, the start-up identification and the port set-up,
// driven through a port whose bytes and failures the test controls.
#include "FakePort.h"
#include "flash/BootloaderLink.h"
#include "flash/FlashMessages.h"
#include "platform/ViewState.h"
#include "support/ScriptedDialogs.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;
using test::FakePort;

namespace {

void runEventLoop(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

struct LinkFixture : ::testing::Test {
    explicit LinkFixture(FlashTimings timings = FlashTimings{}.scaled(0.02))
        : link(port, view, dialogs, sleeper, timings)
    {
        port.open();
    }
    FakePort port;
    ViewState view;
    test::ScriptedDialogs dialogs;
    test::CountingSleeper sleeper;
    BootloaderLink link;
};

using BootloaderLinkTest = LinkFixture;

} // namespace

TEST_F(BootloaderLinkTest, OnlyAReadThatBeginsWithTheLetterSatisfiesAWait)
{
    struct Case {
        const char *name;
        bool flushed;
        QByteArray waiting;           // in the buffer before the wait
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
        port.open();
        dialogs.messages.clear();
        port.deliverNow(c.waiting);
        port.laterReads.assign(c.reads.begin(), c.reads.end());
        if (c.waiting.isEmpty() && !c.reads.empty()) {
            port.deliver(port.laterReads.front());
            port.laterReads.pop_front();
        }
        const Outcome outcome = c.flushed ? link.WaitForByteFlushed('R', 80ms) : link.WaitForByte('R', 80ms);
        EXPECT_EQ(outcome, c.expected);
        if (c.expected == Outcome::EndStalled) {
            EXPECT_FALSE(port.portOpen());
            ASSERT_EQ(dialogs.messages.size(), 1u);
            EXPECT_EQ(dialogs.messages[0].text, QString::fromLatin1(messages::kStalled));
            EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Communications Failure"));
            EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Information);
        }
    }
}

TEST_F(BootloaderLinkTest, AnAcknowledgementWaitEndsAtItsBoundNotBefore)
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(link.WaitForByte('p', 150ms), Outcome::EndStalled);
    EXPECT_GE(clock.elapsed(), 150);
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(BootloaderLinkTest, ALostLineEndsAWaitAtOnceAndLaterWritesFail)
{
    QTimer::singleShot(10, &port, [this] { port.loseLine(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(link.WaitForByte('R', 5s), Outcome::EndConnectionLost);
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QString::fromLatin1(messages::kConnectionLost));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Communications Failure"));
    EXPECT_FALSE(port.portOpen());

    // Opening the port again forgets the lost line.
    EXPECT_TRUE(link.OpenPort(1));
    EXPECT_EQ(link.SendByte('z'), Outcome::Ok);
}

TEST_F(BootloaderLinkTest, AFailedWriteInsideARouteEndsIt)
{
    port.writeError = [](const QByteArray &) { return CommError::WriteFailed; };
    EXPECT_EQ(link.send("P01"), Outcome::EndConnectionLost);
    EXPECT_FALSE(port.portOpen());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QString::fromLatin1(messages::kConnectionLost));
}

TEST_F(BootloaderLinkTest, GreetingTimeOutsAreSilentWhenOddAndEndTheProgramWhenEven)
{
    enum Wait { Q, A };
    struct Step {
        Wait wait;
        Outcome expected;
    };
    const std::vector<std::vector<Step>> sequences = {
        {{Q, Outcome::Missed}, {Q, Outcome::EndTimedOut}},
        {{Q, Outcome::Missed}, {A, Outcome::Missed}, {A, Outcome::EndTimedOut}},
        {{A, Outcome::Missed}, {Q, Outcome::Missed}, {Q, Outcome::EndTimedOut}},
    };
    for (std::size_t s = 0; s < sequences.size(); ++s) {
        SCOPED_TRACE(s);
        FakePort freshPort;
        ViewState freshView;
        test::ScriptedDialogs freshDialogs;
        test::CountingSleeper freshSleeper;
        BootloaderLink fresh(freshPort, freshView, freshDialogs, freshSleeper, FlashTimings{}.scaled(0.01));
        freshPort.open();
        for (const Step &step : sequences[s]) {
            freshView.setEnabled(ControlId::PortMenu, false);
            freshView.setEnabled(ControlId::FileMenu, false);
            freshView.setEnabled(ControlId::ProgramButton, false);
            freshView.setEnabled(ControlId::ExitButton, false);
            fresh.timers().restartWaitForQ(20ms);
            const Outcome outcome = step.wait == Q ? fresh.WaitForLetterQ('Q') : fresh.WaitForLetterA('A');
            ASSERT_EQ(outcome, step.expected);
            if (outcome == Outcome::Missed) {
                EXPECT_TRUE(freshView.isEnabled(ControlId::PortMenu));
                EXPECT_TRUE(freshView.isEnabled(ControlId::FileMenu));
                EXPECT_FALSE(freshView.isEnabled(ControlId::ProgramButton));
                EXPECT_TRUE(freshDialogs.messages.empty());
                EXPECT_TRUE(freshPort.portOpen());
            }
        }
        ASSERT_EQ(freshDialogs.messages.size(), 1u);
        EXPECT_EQ(freshDialogs.messages[0].text, QStringLiteral("The Romwright timed out."));
        EXPECT_EQ(freshDialogs.messages[0].title, QStringLiteral("Timeout Failure"));
        EXPECT_EQ(freshDialogs.messages[0].icon, MessageIcon::Information);
        EXPECT_TRUE(freshView.isEnabled(ControlId::ProgramButton));
        EXPECT_TRUE(freshView.isEnabled(ControlId::ExitButton));
        EXPECT_FALSE(freshPort.portOpen());
    }
}

TEST_F(BootloaderLinkTest, AGreetingThatComesInTimeEndsTheWaitWithoutCounting)
{
    link.timers().restartWaitForQ(2s);
    QTimer::singleShot(10, &port, [this] { port.deliver("Q"); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(link.WaitForLetterQ('Q'), Outcome::Ok);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(link.timers().nTimeoutsQ, 0);
}

TEST_F(BootloaderLinkTest, AnEmptyGreetingLetterIsNeverMatched)
{
    port.responder = [](const QByteArray &) { return QByteArray("Q"); };
    link.timers().restartWaitForQ(30ms);
    QTimer::singleShot(5, &port, [this] { port.deliver("Q"); });
    EXPECT_EQ(link.WaitForLetterQ(firstLetter(QString())), Outcome::Missed);
}

TEST(WaitForLetterZ, ArmingRestartsTheTimerSoTheWaitLastsItsFullInterval)
{
    FakePort port;
    ViewState view;
    test::ScriptedDialogs dialogs;
    test::CountingSleeper sleeper;
    BootloaderLink link(port, view, dialogs, sleeper, FlashTimings{});
    port.open();
    link.timers().start();
    runEventLoop(1200ms); // the timer is well into its period

    QElapsedTimer clock;
    clock.start();
    link.timers().armWaitForZ();
    EXPECT_FALSE(link.WaitForLetterZ('Z'));
    EXPECT_GE(clock.elapsed(), 3490);
    EXPECT_LT(clock.elapsed(), 4500);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(BootloaderLinkTest, WaitForLetterZEndsOnZ)
{
    link.timers().start();
    link.timers().armWaitForZ();
    QTimer::singleShot(5, &port, [this] { port.deliver("Z"); });
    EXPECT_TRUE(link.WaitForLetterZ('Z'));
}

TEST(IdentifyTarget, SetsTheTargetKindFromTheGreeting)
{
    struct Case {
        const char *name;
        bool portOpen;
        QByteArray greeting;  // answer to every request
        int greetOnRequest;   // 0: never
        bool bTargetA;
        int requests;
        int nTimeoutsQ;
        int nTimeoutsA;
    };
    const Case cases[] = {
        {"no port", false, "Q", 1, false, 0, 0, 0},
        {"Q at once", true, "Q", 1, false, 1, 0, 0},
        {"A on the second request", true, "A", 2, true, 2, 1, 0},
        {"A to both requests", true, "A", 1, true, 2, 1, 0},
        {"silence", true, {}, 0, false, 2, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakePort port;
        ViewState view;
        test::ScriptedDialogs dialogs;
        test::CountingSleeper sleeper;
        BootloaderLink link(port, view, dialogs, sleeper, FlashTimings{}.scaled(0.01));
        if (c.portOpen)
            port.open();
        int requests = 0;
        port.responder = [&](const QByteArray &w) {
            EXPECT_EQ(w, QByteArray("R2"));
            ++requests;
            return c.greetOnRequest > 0 && requests >= c.greetOnRequest ? c.greeting : QByteArray();
        };
        TargetState target;
        EXPECT_EQ(link.IdentifyTarget(target), Outcome::Ok);
        EXPECT_EQ(target.bTargetA, c.bTargetA);
        EXPECT_EQ(requests, c.requests);
        EXPECT_EQ(link.timers().nTimeoutsQ, c.nTimeoutsQ);
        EXPECT_EQ(link.timers().nTimeoutsA, c.nTimeoutsA);
        EXPECT_TRUE(dialogs.messages.empty());
        // Each attempt settles first: 1000 ms scaled, plus the short pause after "R2".
        EXPECT_EQ(sleeper.total, (c.requests > 1 ? 2 : 1) * 11ms);
    }
}

TEST(IdentifyTarget, DiscardsBytesFromBeforeTheRequestButKeepsAQuickGreeting)
{
    struct Case {
        const char *name;
        QByteArray stale;  // waiting before the request
        QByteArray answer; // to each request
        bool bTargetA;
        int nTimeoutsQ;
    };
    const Case cases[] = {
        {"greeting within the pause", {}, "Q", false, 0},
        {"stale greeting, then silence", "Q", {}, false, 1},
        {"stale Q, then A", "Q", "A", true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakePort port;
        ViewState view;
        test::ScriptedDialogs dialogs;
        test::CountingSleeper sleeper;
        BootloaderLink link(port, view, dialogs, sleeper, FlashTimings{}.scaled(0.01));
        port.open();
        port.answerAtOnce = true;
        port.deliverNow(c.stale);
        port.responder = [&](const QByteArray &) { return c.answer; };
        TargetState target;
        link.IdentifyTarget(target);
        EXPECT_EQ(target.bTargetA, c.bTargetA);
        EXPECT_EQ(link.timers().nTimeoutsQ, c.nTimeoutsQ);
    }
}

TEST(OpenPort, ReportsFailureOnlyWhenThePortCannotBeHad)
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
        FakePort port;
        ViewState view;
        test::ScriptedDialogs dialogs;
        test::CountingSleeper sleeper;
        BootloaderLink link(port, view, dialogs, sleeper, FlashTimings{});
        port.openError = c.openError;
        EXPECT_EQ(link.OpenPort(3), c.ok) << static_cast<int>(c.openError);
        EXPECT_EQ(port.portOpen(), c.open);
        EXPECT_EQ(port.commPort(), 3);
        EXPECT_EQ(port.settings(), QStringLiteral("38400,n,8,1"));
    }
}

TEST(OpenPort, AnotherPortReplacesTheOpenOne)
{
    FakePort port;
    ViewState view;
    test::ScriptedDialogs dialogs;
    test::CountingSleeper sleeper;
    BootloaderLink link(port, view, dialogs, sleeper, FlashTimings{});
    ASSERT_TRUE(link.OpenPort(2));
    ASSERT_TRUE(link.OpenPort(4));
    EXPECT_EQ(port.opens, 2);
    EXPECT_EQ(port.commPort(), 4);
    EXPECT_TRUE(port.portOpen());
}

TEST(RequestBootloader, FailsOnlyWithoutAnOpenPort)
{
    FakePort port;
    ViewState view;
    test::ScriptedDialogs dialogs;
    test::CountingSleeper sleeper;
    BootloaderLink link(port, view, dialogs, sleeper, FlashTimings{});
    EXPECT_FALSE(link.RequestBootloader(false));
    port.open();
    EXPECT_TRUE(link.RequestBootloader(true));
    port.writeError = [](const QByteArray &) { return CommError::WriteFailed; };
    EXPECT_TRUE(link.RequestBootloader(false));
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], QByteArray("R4"));
}
