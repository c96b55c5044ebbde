// The click on PROGRAM on a manual clock: every write of each route at its
// exact time, the bounds inside a route, the stops before a route, failed
// writes, the end of the program during a wait and the controls locked
// while a route runs. Whole routes on a real line: RoutesEndToEndTest.
#include "LinkRig.h"
#include "app/update/UpdateMessages.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;
using test::LinkRig;

// Both greeting timers run from 0; the click comes at `clickAt`. The
// scanner answers 1 ms after each command, so a pause longer than that
// shows as the gap between a command and the next.
TEST(UpdateTiming, EachRouteWritesAtItsTimes)
{
    const struct {
        const char *name, *greeting;
        int greetOn, clickAt;
        const char *timeline;
        int endsAt;
    } cases[] = {
        // No "Z" within 3,500 ms of arming, 1,000 ms at 38400, the request
        // again, 1 ms, the greeting; 3 ms after "z"; 2,000 ms after "R".
        {"Q", "Q", 2, 0, "0:R2 4502:R2 4503:z 4506:E 4507:P135 4508:P135 4509:R", 6509},
        {"A: no pause after z", "A", 2, 0, "0:R2 4502:R2 4503:z 4504:E 4505:P263 4506:P263 4507:R", 6507},
        // 2 ms after "G"; 2,000 ms after the power-cycle prompt.
        {"Z", "Z", 1, 0, "0:R2 2:G 4:L1024 5:E 6:D68 2007:z 2010:E 2011:P135 2012:P135 2013:R", 4013},
        // The wait for "Z" is armed with its full interval, whatever the
        // timer's phase since the window loaded.
        {"Z wait armed late", "Q", 2, 1200, "1200:R2 5702:R2 5703:z 5706:E 5707:P135 5708:P135 5709:R", 7709},
        // The first greeting wait of 2,500 ms misses; the request again, 1 ms.
        {"retry", "Q", 3, 0, "0:R2 4502:R2 7003:R2 7004:z 7007:E 7008:P135 7009:P135 7010:R", 9010},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig r(c.greeting, c.greetOn);
        QStringList heard[2]; // by two listeners, each subscribed on its own
        test::UpdateWatch first(r.update);
        first.onStep = [&](UpdateStep step) { heard[0] << QLatin1String(stepName(step)); };
        r.watch.onStep = [&](UpdateStep step) { heard[1] << QLatin1String(stepName(step)); };
        QList<Lamp> atPrompt; // the firmware pass's lamps while the scanner is power-cycled: not begun
        r.dialogs.powerCycleAnswer = [&r, &atPrompt] {
            for (LampId id : {LampId::FlashErase, LampId::Working, LampId::Program})
                atPrompt << r.view.lamp(id);
            return true;
        };
        EXPECT_EQ(r.click(c.clickAt), Outcome::EndCompleted);
        EXPECT_EQ(atPrompt, QList<Lamp>(*c.greeting == 'Z' ? 3 : 0, Lamp::Grey));
        EXPECT_TRUE(heard[0] == heard[1] && heard[0].back() == QLatin1String("done"));
        EXPECT_EQ(r.timeline(), QLatin1String(c.timeline));
        EXPECT_EQ(r.clock.now().count(), c.endsAt);
        EXPECT_EQ(r.message(), QLatin1String(messages::kComplete));
        EXPECT_FALSE(r.port.portOpen());
    }
}

// A greeting later than the update's first wait answers the first request
// during the repeated one's wait; the repeated request's own greeting comes
// later still, here read together with the answer to "z": it is no answer.
TEST(UpdateTiming, TheRepeatedRequestsOwnGreetingIsNoAnswer)
{
    LinkRig r("Q", 0);
    r.port.arriveAt(7100ms, "Q");
    r.port.responder = [&r](const QByteArray &w) { return (w == "z" ? "Q" : "") + r.boot.answer(w); };
    EXPECT_EQ(r.click(), Outcome::EndCompleted);
    EXPECT_EQ(r.timeline(), QLatin1String("0:R2 4502:R2 7003:R2 7100:z 7103:E 7104:P135 7105:P135 7106:R"));
    EXPECT_EQ(r.message(), QLatin1String(messages::kComplete));
}

// Every other way a route ends: the writes up to the end, the time the
// click returns, what the user is told. An acknowledgement is waited for 10 s
// after its command, 60 s after an erase (after the pause that follows it).
TEST(UpdateTiming, EachRouteEndsAtItsBoundOrAtTheFirstFault)
{
    using enum Outcome;
    const struct {
        const char *greeting;
        int stallAt; // the nth command answer never comes
        // "X": the first write beginning with X fails; "~X": the line goes 1 ms after it; "?X": its
        // answer is "x\a" instead of the letter; "@N": the program ends at N ms, inside a wait
        const char *fault;
        Outcome outcome;
        const char *timeline;
        int endsAt;
        char left;         // 'u' the scanner unchanged, 'b' its boot software half replaced, 'f' no firmware
        const char *where; // the failure's context: its step, block, letter and what came
        // As start-up left them: the boot software greeted "A"; the greetings it missed, "Q" and "A".
        bool targetA = false;
        int missedQ = 0, missedA = 0;
    } cases[] = {
        // clang-format off
        {"Z", 1, "", EndStalled, "0:R2 2:G", 10004, 'b', "ram-loader: waited for \"R\", got nothing"},
        {"Z", 2, "", EndStalled, "0:R2 2:G 4:L1024", 10004, 'b', "ram-loader: waited for \"R\", got nothing"},
        {"Z", 3, "", EndStalled, "0:R2 2:G 4:L1024 5:E", 60005, 'b', "boot-software: waited for \"R\", got nothing"},
        {"Z", 4, "", EndStalled, "0:R2 2:G 4:L1024 5:E 6:D68", 10006, 'b', "boot-software, block 0 at 0xF000: waited for \"R\", got nothing"},
        {"Q", 1, "", EndStalled, "0:R2 4502:R2 4503:z", 14506, 'u', "erase: waited for \"C\", got nothing"},
        {"Q", 2, "", EndStalled, "0:R2 4502:R2 4503:z 4506:E", 64506, 'f', "erase: waited for \"e\", got nothing"},
        {"Q", 3, "", EndStalled, "0:R2 4502:R2 4503:z 4506:E 4507:P135", 14507, 'f', "firmware, block 0 at 0x1000: waited for \"p\", got nothing"},
        // Another answer than the letter is kept in the context, unprintable bytes in hex.
        {"Q", 0, "?P", EndStalled, "0:R2 4502:R2 4503:z 4506:E 4507:P135", 14507, 'f', "firmware, block 0 at 0x1000: waited for \"p\", got \"x\\x07\""},
        {"A", 2, "", EndStalled, "0:R2 4502:R2 4503:z 4504:E", 64504, 'f', "erase: waited for \"e\", got nothing"},
        {"Z", 0, "G", EndConnectionLost, "0:R2", 2, 'u', "ram-loader: writing to the port failed"},
        {"Z", 0, "L", EndConnectionLost, "0:R2 2:G", 4, 'b', "ram-loader: writing to the port failed"},
        {"Z", 0, "D", EndConnectionLost, "0:R2 2:G 4:L1024 5:E", 6, 'b', "boot-software, block 0 at 0xF000: writing to the port failed"},
        {"Q", 0, "z", EndConnectionLost, "0:R2 4502:R2", 4503, 'u', "erase: writing to the port failed"},
        {"A", 0, "P", EndConnectionLost, "0:R2 4502:R2 4503:z 4504:E", 4505, 'f', "firmware, block 0 at 0x1000: writing to the port failed"},
        {"Q", 0, "R", EndConnectionLost, "0:R2 4502:R2 4503:z 4506:E 4507:P135 4508:P135", 4509, 'f', "reset: writing to the port failed"},
        {"Q", 2, "~E", EndConnectionLost, "0:R2 4502:R2 4503:z 4506:E", 4507, 'f', "erase: waited for \"e\", got nothing"},
        {"Q", 3, "~P", EndConnectionLost, "0:R2 4502:R2 4503:z 4506:E 4507:P135", 4508, 'f', "firmware, block 0 at 0x1000: waited for \"p\", got nothing"},
        // No block in the table: nothing after the greeting is sent.
        {"Z", 0, "", EndNoBlocks, "0:R2", 2, 'u', "greeting"},
        {"A", 0, "", EndNoBlocks, "0:R2 4502:R2", 4503, 'u', "greeting"},
        {"Z", 0, "", EndCancelled, "0:R2 2:G 4:L1024 5:E 6:D68", 7, 'b', "power-cycle"}, // the power cycle not confirmed
        // The program ending during a wait unwinds without another write.
        {"Q", 0, "@1000", EndClosed, "0:R2", 1000, 'u', "request"}, // waiting for "Z"
        {"", 0, "@5000", EndClosed, "0:R2 4502:R2", 5000, 'u', "request: waited for \"Q\", got nothing"}, // waiting for the greeting
        {"Q", 3, "@4600", EndClosed, "0:R2 4502:R2 4503:z 4506:E 4507:P135", 4600, 'f', "firmware, block 0 at 0x1000: waited for \"p\", got nothing"},
        // No greeting at all: the time-out counts from start-up decide whether the first miss ends the
        // program; each greeting wait is 2,500 ms after its request and 1 ms.
        {"", 0, "", EndTimedOut, "0:R2 4502:R2 7003:R2", 9504, 'u', "request: waited for \"Q\", got nothing"}, // "Q" at start-up
        {"", 0, "", EndTimedOut, "0:R2 4502:R2 7003:R2", 9504, 'u', "request: waited for \"A\", got nothing", true, 1}, // "Q" missed, "A" came
        {"", 0, "", EndTimedOut, "0:R2 4502:R2", 7003, 'u', "request: waited for \"Q\", got nothing", false, 1, 1}, // neither came
        // clang-format on
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.greeting) + " stall " + std::to_string(c.stallAt) + " fault " + c.fault);
        const bool z = QByteArray(c.greeting) == "Z";
        LinkRig r(c.greeting, z ? 1 : 2);
        r.boot.stallAt = c.stallAt;
        r.target.bTargetA = r.target.bTargetA || c.targetA;
        r.link.timers().nTimeoutsQ = c.missedQ;
        r.link.timers().nTimeoutsA = c.missedA;
        if (c.outcome == EndNoBlocks && z)
            r.fw.FlashBlocks64 = {};
        else if (c.outcome == EndNoBlocks)
            r.fw.FlashBlocks128 = {};
        r.dialogs.powerCycleAnswer = [] { return false; };
        const QByteArray fault(c.fault);
        const bool loseLine = fault.startsWith('~');
        const bool wrongAnswer = fault.startsWith('?');
        if (fault.startsWith('@'))
            r.clock.at(std::chrono::milliseconds(fault.mid(1).toInt()), [&r] { r.clock.endWaits(); });
        bool fired = false, written = false;
        r.watch.onWritten = [&] { written = true; };
        r.port.responder = [&](const QByteArray &w) {
            const QByteArray answer = r.boot.answer(w);
            return wrongAnswer && fired && w.startsWith(fault.back()) ? QByteArray("x\a") : answer;
        };
        r.port.writeError = [&](const QByteArray &w) {
            const bool hit = !fired && !fault.isEmpty() && !w.startsWith("R2") && w.startsWith(fault.back());
            fired = fired || hit;
            if (hit && loseLine)
                r.clock.at(r.clock.now() + 1ms, [&r] { emit r.port.lineLost(); });
            return hit && !loseLine && !wrongAnswer ? CommError::WriteFailed : CommError::None;
        };
        ASSERT_EQ(r.click(), c.outcome);
        EXPECT_EQ(fired, !fault.isEmpty() && !fault.startsWith('@'));
        EXPECT_FALSE(written); // the final "R" not sent: the record of the update stays
        ASSERT_TRUE(r.update.failure());
        EXPECT_EQ(
            describeFailure(c.outcome, *r.update.failure()),
            QStringLiteral("%1 (step %2)").arg(QLatin1String(describe(c.outcome)), QLatin1String(c.where)));
        EXPECT_EQ(r.timeline(), QLatin1String(c.timeline));
        EXPECT_EQ(r.clock.now().count(), c.endsAt);
        EXPECT_FALSE(r.port.portOpen());
        EXPECT_FALSE(r.update.running());
        if (c.outcome == EndCancelled || c.outcome == EndClosed) {
            EXPECT_TRUE(r.dialogs.messages.empty());
            continue;
        }
        ASSERT_EQ(r.dialogs.messages.size(), 1u);
        const bool stalled = c.outcome == EndStalled;
        const QString reason =
            QLatin1String(stalled ? messages::kStalledReason : messages::kConnectionLostReason);
        const QString expected =
            c.outcome == EndTimedOut   ? QStringLiteral("The Romwright timed out.")
            : c.outcome == EndNoBlocks ? QLatin1String(messages::kNoBlocks)
            : c.left == 'u' ? QLatin1String(stalled ? messages::kStalled : messages::kConnectionLost)
            : c.left == 'b' ? reason + QLatin1Char(' ') + QLatin1String(messages::kWayBackReplacingBoot)
                            : reason + QLatin1Char(' ') + QLatin1String(messages::kWayBackNoFirmware);
        EXPECT_EQ(r.message(), expected);
        EXPECT_EQ(r.dialogs.messages.back().title,
                  c.outcome == EndTimedOut ? "Timeout Failure" : "Communications Failure");
        EXPECT_EQ(r.dialogs.messages.back().icon,
                  c.left == 'u' ? MessageIcon::Exclamation : MessageIcon::Critical);
    }
}

// The File menu opens during the greeting retry (a file opened there is the
// one sent: WindowUpdateTest); one that then fails to load is not sent.
TEST(UpdateSequence, NoFileOrAFileThatDidNotLoadStopsBeforeAnythingIsSent)
{
    const struct {
        const char *label; // the file chosen, nullptr for none
        bool filesValid;
        bool stops;         // otherwise the closed port stops it
        bool retry = false; // on an open port, the file failing to load during the greeting retry
    } cases[] = {
        // A file is chosen or not: whatever its name or folder says is no answer.
        {nullptr, true, true},     {"/home/None/H1.s19", true, false}, {"H1.s19", false, true},
        {"None.s19", true, false}, {"/data/H1.s19", true, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.label ? c.label : "(none)") + (c.retry ? " retry" : ""));
        LinkRig r("Q", 3);
        r.fw.FilesValid = c.filesValid;
        r.port.setPortOpen(c.retry);
        r.port.writeError = [&](const QByteArray &) {
            if (r.boot.requests == 2)
                r.fw.FilesValid = false;
            return CommError::None;
        };
        r.inputs.setFile(c.label ? std::optional<QString>(QString::fromLatin1(c.label)) : std::nullopt);
        ASSERT_EQ(r.click(), Outcome::Stopped);
        EXPECT_FALSE(r.timeline().contains(QLatin1String(c.retry ? ":z" : ":")));
        ASSERT_EQ(r.dialogs.messages.size(), 1u);
        EXPECT_EQ(r.message(), QLatin1String(c.stops ? messages::kSelectFirmware : messages::kPortFailure));
        EXPECT_EQ(r.port.portOpen(), c.retry);
        EXPECT_EQ(r.view.isControlEnabled(ControlId::PortMenu), !c.stops || c.retry);
        EXPECT_EQ(r.view.isControlEnabled(ControlId::ProgramButton), !c.stops);
        for (ControlId id :
             {ControlId::FileMenu, ControlId::HelpMenu, ControlId::ExitButton, ControlId::BrowseButton})
            EXPECT_TRUE(r.view.isControlEnabled(id)) << static_cast<int>(id);
        EXPECT_FALSE(r.view.isBusy());
    }
}

// After the final "R" and its 2,000 ms the restarted scanner is asked its
// identity (each question 200 ms here), 500 ms apart, until it answers or
// 10 s have passed; the port is closed by then, and the scanner's whole
// firmware was told as the "R" went. No answer is a warning after the
// completion, not a failure.
TEST(UpdateTiming, TheRestartedScannerIsAskedUntilItAnswersOrTenSecondsPass)
{
    const QString complete = QLatin1String(messages::kComplete) + QStringLiteral("\n\n");
    const struct {
        int answersAt; // the question it answers, 0: none
        const char *asked;
        int endsAt;
        QString message;
    } cases[] = {
        {1, "6509", 6709, complete + QStringLiteral("The scanner answers as Halvern 1450.")},
        {3, "6509 7209 7909", 8109, complete + QStringLiteral("The scanner answers as Halvern 1450.")},
        {0, "6509 7209 7909 8609 9309 10009 10709 11409 12109 12809 13509 14209 14909 15609 16309", 16509,
         complete + QLatin1String(messages::kNoAnswerAfterUpdate)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answersAt);
        LinkRig r;
        QStringList asked;
        std::optional<QByteArray> writtenAfter; // what had been written when the whole firmware was told
        r.watch.onWritten = [&] { writtenAfter = r.port.written(); };
        r.answers.identity = [&]() -> std::optional<QString> {
            EXPECT_TRUE(writtenAfter && writtenAfter->endsWith("R"));
            EXPECT_FALSE(r.port.portOpen());
            EXPECT_EQ(r.update.phase(), UpdatePhase::Completed); // closing now interrupts nothing
            asked << QString::number(r.clock.now().count());
            r.clock.pause(200ms);
            if (asked.size() == c.answersAt)
                return QStringLiteral("Halvern 1450");
            return std::nullopt;
        };
        EXPECT_EQ(r.click(), Outcome::EndCompleted);
        EXPECT_EQ(asked.join(QLatin1Char(' ')), QLatin1String(c.asked));
        EXPECT_EQ(r.clock.now().count(), c.endsAt);
        EXPECT_EQ(r.message(), c.message);
    }
}
