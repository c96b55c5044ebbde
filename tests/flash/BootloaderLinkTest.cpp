// Waits, greetings, the start-up identification and the port set-up on a
// manual clock; a lost line or the program's end during a wait, as the
// update meets them: UpdateSequenceTest.
#include "LinkRig.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;
using test::LinkRig;

TEST(BootloaderLink, AWaitEndsOnTheFirstReadThatBeginsWithItsLetterOrItsBound)
{
    const struct {
        const char *name;
        bool flushed;
        QByteArray waiting;                            // in the buffer before the wait
        std::vector<std::pair<int, QByteArray>> reads; // arriving at these times
        Outcome expected;
        int returnsAt;
    } cases[] = {
        {"waiting letter taken", false, "R", {}, Outcome::Ok, 0},
        {"letter behind noise in one read", false, {}, {{1, "xR"}}, Outcome::EndStalled, 80},
        {"letter in a later read", false, {}, {{1, "xR"}, {2, "R"}}, Outcome::Ok, 2},
        {"letter first, rest dropped", false, {}, {{1, "Rxx"}}, Outcome::Ok, 1},
        {"flushed: noise then letter", true, {}, {{1, "x"}, {2, "R"}}, Outcome::Ok, 2},
        {"flushed: another letter only", true, {}, {{1, "p"}}, Outcome::EndStalled, 80},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig r;
        r.port.deliverNow(c.waiting);
        for (const auto &[at, bytes] : c.reads)
            r.port.arriveAt(std::chrono::milliseconds(at), bytes);
        EXPECT_EQ(c.flushed ? r.link.WaitForByteFlushed('R', 80ms) : r.link.WaitForByte('R', 80ms),
                  c.expected);
        EXPECT_EQ(r.clock.now().count(), c.returnsAt);
        EXPECT_TRUE(r.dialogs.messages.empty()); // the update sequence says what happened
    }
}

// A greeting waiting once the timer has ticked, or arriving for an empty letter, is missed.
TEST(BootloaderLink, AGreetingIsNotTakenAfterTheTickOrForAnEmptyLetter)
{
    for (const bool late : {true, false}) {
        LinkRig r;
        r.link.timers().restartWaitForQ(20ms);
        late ? r.clock.advance(20ms) : r.port.arriveAt(5ms, "Q");
        r.port.deliverNow(late ? "Q" : "");
        EXPECT_EQ(r.link.WaitForLetterQ(late ? 'Q' : firstLetter(QString())), Outcome::Missed) << late;
    }
}

// 1,000 ms before each "R2", 2 ms after it, then up to 5,000 ms for the
// greeting: about 12 s when nothing answers. The program's end (the window
// closed) ends a wait at once, and no request follows.
TEST(BootloaderLink, IdentifyTargetSetsTheKindFromTheGreetingAndIgnoresStaleBytes)
{
    const struct {
        const char *name;
        bool portOpen;
        QByteArray stale, answer; // waiting before the first request; to each request from greetOn on
        int greetOn;              // 0: never
        int latency;              // 0: the answer is there when the request returns
        bool bTargetA;
        const char *timeline;
        int endsAt, nTimeoutsQ, nTimeoutsA;
        int endAt = 0; // the program ends then
    } cases[] = {
        {"no port", false, {}, "Q", 1, 1, false, "", 1002, 0, 0},
        {"Q at once", true, {}, "Q", 1, 1, false, "1000:R2", 1002, 0, 0},
        {"greeting within the pause", true, {}, "Q", 1, 0, false, "1000:R2", 1002, 0, 0},
        {"A on the second request", true, {}, "A", 2, 1, true, "1000:R2 7002:R2", 7004, 1, 0},
        {"A to both requests", true, {}, "A", 1, 1, true, "1000:R2 7002:R2", 7004, 1, 0},
        {"silence", true, {}, {}, 0, 1, false, "1000:R2 7002:R2", 12004, 1, 1},
        {"stale greeting, then silence", true, "Q", {}, 0, 0, false, "1000:R2 7002:R2", 12004, 1, 1},
        {"stale Q, then A", true, "Q", "A", 1, 0, true, "1000:R2 7002:R2", 7004, 1, 0},
        {"the program ends during the first wait", true, {}, {}, 0, 1, false, "1000:R2", 3000, 0, 0, 3000},
    };
    // An identification the program adds has counts of its own: start-up's
    // misses are neither taken as its own nor added to.
    for (const GreetingCounts counts : {GreetingCounts::Shared, GreetingCounts::Own})
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (counts == GreetingCounts::Own ? ", own counts" : ""));
            const int before = counts == GreetingCounts::Own ? 1 : 0;
            LinkRig r;
            r.link.timers().nTimeoutsQ = r.link.timers().nTimeoutsA = before;
            if (!c.portOpen)
                r.port.setPortOpen(false);
            r.port.latency = std::chrono::milliseconds(c.latency);
            r.port.deliverNow(c.stale);
            int requests = 0;
            r.port.responder = [&](const QByteArray &w) {
                EXPECT_EQ(w, QByteArray("R2"));
                ++requests;
                return c.greetOn > 0 && requests >= c.greetOn ? c.answer : QByteArray();
            };
            if (c.endAt)
                r.clock.at(std::chrono::milliseconds(c.endAt), [&r] { r.clock.endWaits(); });
            TargetState target;
            EXPECT_EQ(r.link.IdentifyTarget(target, false, counts),
                      c.endAt ? Outcome::EndClosed : Outcome::Ok);
            EXPECT_EQ(target.bTargetA, c.bTargetA);
            EXPECT_EQ(r.timeline(), QLatin1String(c.timeline));
            EXPECT_EQ(r.clock.now().count(), c.endsAt);
            EXPECT_EQ(r.link.timers().nTimeoutsQ, before ? before : c.nTimeoutsQ);
            EXPECT_EQ(r.link.timers().nTimeoutsA, before ? before : c.nTimeoutsA);
            EXPECT_TRUE(r.dialogs.messages.empty());
        }
}

TEST(BootloaderLink, OpenPortFailsOnlyWhenThePortCannotBeHad)
{
    const struct {
        CommError openError;
        bool ok, open;
    } cases[] = {
        {CommError::None, true, true},
        {CommError::PortInUse, false, false},
        {CommError::PermissionDenied, false, false},
        {CommError::NoSuchPort, true, false},
        {CommError::DeviceNotOpen, true, false},
    };
    for (const auto &c : cases) {
        LinkRig r;
        r.port.setPortOpen(false);
        r.port.openError = c.openError;
        EXPECT_EQ(r.link.OpenPort(3), c.ok) << static_cast<int>(c.openError);
        EXPECT_EQ(r.port.portOpen(), c.open);
        EXPECT_EQ(r.port.settings(), QStringLiteral("38400,n,8,1"));
    }
    // Reopening the port forgets a lost line.
    LinkRig r;
    emit r.port.lineLost();
    EXPECT_EQ(r.link.SendByte('z'), Outcome::EndConnectionLost);
    EXPECT_TRUE(r.link.OpenPort(1));
    EXPECT_EQ(r.link.SendByte('z'), Outcome::Ok);
}
