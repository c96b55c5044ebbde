// The click on PROGRAM on a manual clock: every write of each route at its
// exact time, the bounds inside a route, the stops before a route, failed
// writes, the end of the program during a wait and the controls locked
// while a route runs. Whole routes on a real line: RoutesEndToEndTest.
#include "LinkRig.h"
#include "flash/FlashMessages.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;
using test::LinkRig;
using test::sampleFirmware;

namespace {

QString qs(const char *s)
{
    return QString::fromLatin1(s);
}

} // namespace

// Both greeting timers run from 0; the click comes at `clickAt`. The
// scanner answers 1 ms after each command, so a pause longer than that
// shows as the gap between a command and the next.
TEST(UpdateTiming, EachRouteWritesAtItsTimes)
{
    struct Case {
        const char *name;
        const char *greeting;
        int greetOn;
        int clickAt;
        const char *timeline;
        int endsAt;
    };
    const Case cases[] = {
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
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig r(c.greeting, c.greetOn);
        const FirmwareSet fw = sampleFirmware();
        r.link.timers().start();
        r.clock.advance(std::chrono::milliseconds(c.clickAt));
        EXPECT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndCompleted);
        EXPECT_EQ(r.timeline(), QLatin1String(c.timeline));
        EXPECT_EQ(r.clock.now().count(), c.endsAt);
        EXPECT_EQ(r.dialogs.messages.back().text, qs(messages::kComplete));
        EXPECT_FALSE(r.port.portOpen());
    }
}

TEST(UpdateTiming, EveryAcknowledgementInsideARouteIsBounded)
{
    struct Case {
        const char *name;
        const char *greeting;
        int stallAt; // the nth answer never comes
        int lastWriteAt;
        int endsAt; // 10 s after the last write, 60 s for an erase (after the pause that follows it)
    };
    const Case cases[] = {
        {"G", "Z", 1, 2, 10004},
        {"RAM loader", "Z", 2, 4, 10004},
        {"erase by the RAM loader", "Z", 3, 5, 60005},
        {"D record", "Z", 4, 6, 10006},
        {"z", "Q", 1, 4503, 14506},
        {"e", "Q", 2, 4506, 64506},
        {"p", "Q", 3, 4507, 14507},
        {"e of the 128-byte route", "A", 2, 4504, 64504},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig r(c.greeting, QByteArray(c.greeting) == "Z" ? 1 : 2);
        const FirmwareSet fw = sampleFirmware();
        r.boot.stallAt = c.stallAt;
        r.link.timers().start();
        ASSERT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndStalled);
        EXPECT_EQ(r.port.writeTimes.back().count(), c.lastWriteAt);
        EXPECT_EQ(r.clock.now().count(), c.endsAt);
        EXPECT_EQ(r.dialogs.messages.back().text, qs(messages::kStalled));
        EXPECT_EQ(r.dialogs.messages.back().title, QStringLiteral("Communications Failure"));
        EXPECT_FALSE(r.port.portOpen());
    }
}

TEST(UpdateTiming, TheProgramEndingDuringAWaitUnwindsWithoutAnotherWrite)
{
    struct Case {
        const char *name;
        int greetOn;
        int endAt;
        const char *timeline;
    };
    const Case cases[] = {
        {"waiting for Z", 2, 1000, "0:R2"},
        {"waiting for the greeting", 3, 5000, "0:R2 4502:R2"},
        {"waiting for a record's p", 2, 4600, "0:R2 4502:R2 4503:z 4506:E 4507:P135"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig r("Q", c.greetOn);
        const FirmwareSet fw = sampleFirmware();
        r.boot.stallAt = 3;
        r.link.timers().start();
        r.clock.at(std::chrono::milliseconds(c.endAt), [&r] { r.clock.endWaits(); });
        EXPECT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndClosed);
        EXPECT_EQ(r.clock.now().count(), c.endAt);
        EXPECT_EQ(r.timeline(), QLatin1String(c.timeline));
        EXPECT_TRUE(r.dialogs.messages.empty());
        EXPECT_FALSE(r.update.running());
    }
}

TEST(UpdateSequence, NoFileOrAFileThatDidNotLoadStopsBeforeAnythingIsSent)
{
    struct Case {
        const char *label;
        bool filesValid;
        bool stops; // otherwise the closed port stops it
    };
    const Case cases[] = {
        {"None", true, true},      {"/home/None/H1.s19", true, true}, {"H1.s19", false, true},
        {"none.s19", true, false}, {"NONE.s19", true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        LinkRig r;
        FirmwareSet fw = sampleFirmware();
        fw.FilesValid = c.filesValid;
        r.port.setPortOpen(false);
        r.view.setText(LabelId::FirmFile, qs(c.label));
        ASSERT_EQ(r.update.cmdProgram_Click(fw), Outcome::Stopped);
        EXPECT_TRUE(r.port.writes.empty());
        ASSERT_EQ(r.dialogs.messages.size(), 1u);
        EXPECT_EQ(r.dialogs.messages[0].text,
                  qs(c.stops ? messages::kSelectFirmware : messages::kPortFailure));
        EXPECT_EQ(r.view.isControlEnabled(ControlId::PortMenu), !c.stops);
        EXPECT_EQ(r.view.isControlEnabled(ControlId::ProgramButton), !c.stops);
        for (ControlId id :
             {ControlId::FileMenu, ControlId::HelpMenu, ControlId::ExitButton, ControlId::BrowseButton})
            EXPECT_TRUE(r.view.isControlEnabled(id)) << static_cast<int>(id);
        EXPECT_FALSE(r.view.isBusy());
    }
}

TEST(UpdateSequence, TheRetryOpensTheMenusAndAFileThatFailsToLoadThenIsNotSent)
{
    for (const bool loadFails : {false, true}) {
        SCOPED_TRACE(loadFails);
        LinkRig r("Q", 3);
        FirmwareSet fw = sampleFirmware();
        r.link.timers().start();
        std::vector<std::pair<bool, bool>> fileAndBrowse; // at each write
        r.port.writeError = [&](const QByteArray &) {
            fileAndBrowse.emplace_back(r.view.isControlEnabled(ControlId::FileMenu),
                                       r.view.isControlEnabled(ControlId::BrowseButton));
            if (loadFails && r.boot.requests == 2)
                fw.FilesValid = false; // a file opened through the File menu did not load
            return CommError::None;
        };
        const Outcome outcome = r.update.cmdProgram_Click(fw);
        ASSERT_GE(fileAndBrowse.size(), 3u);
        EXPECT_EQ(fileAndBrowse[1], std::make_pair(false, false)); // the retry's first request
        EXPECT_EQ(fileAndBrowse[2], std::make_pair(true, false));  // after the silent miss
        EXPECT_EQ(r.view.isControlEnabled(ControlId::PortMenu), loadFails);
        if (!loadFails) {
            EXPECT_EQ(outcome, Outcome::EndCompleted);
            EXPECT_EQ(fileAndBrowse[3], std::make_pair(false, false)); // "z": the route locked them
            continue;
        }
        EXPECT_EQ(outcome, Outcome::Stopped);
        EXPECT_FALSE(r.sent('z'));
        EXPECT_EQ(r.dialogs.messages.back().text, qs(messages::kSelectFirmware));
        EXPECT_TRUE(r.port.portOpen());
        EXPECT_FALSE(r.view.isControlEnabled(ControlId::ProgramButton));
    }
}

TEST(UpdateSequence, TimeOutCountsFromStartUpDecideWhetherTheFirstMissEndsTheProgram)
{
    struct Case {
        const char *name;
        bool bTargetA;
        int nTimeoutsQ;
        int nTimeoutsA;
        const char *timeline;
    };
    const Case cases[] = {
        {"Q arrived at start-up", false, 0, 0, "0:R2 4502:R2 7003:R2"},
        {"Q missed, A arrived", true, 1, 0, "0:R2 4502:R2 7003:R2"},
        {"neither arrived", false, 1, 1, "0:R2 4502:R2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig r("Q", 0);
        const FirmwareSet fw = sampleFirmware();
        r.target.bTargetA = c.bTargetA;
        r.link.timers().nTimeoutsQ = c.nTimeoutsQ;
        r.link.timers().nTimeoutsA = c.nTimeoutsA;
        r.link.timers().start();
        EXPECT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndTimedOut);
        EXPECT_EQ(r.timeline(), QLatin1String(c.timeline));
        ASSERT_EQ(r.dialogs.messages.size(), 1u);
        EXPECT_EQ(r.dialogs.messages[0].text, QStringLiteral("The Romwright timed out."));
        EXPECT_FALSE(r.port.portOpen());
    }
}

TEST(UpdateSequence, AFailedWriteALostLineOrAMissingBlockEndsTheRoute)
{
    struct Case {
        const char *name;
        const char *greeting;
        QByteArray failingWrite; // prefix of the write that fails
        bool loseLine;           // instead, the line goes 1 ms after that write
        Outcome outcome;
        const char *message;
    };
    const Case cases[] = {
        {"G fails", "Z", "G", false, Outcome::EndConnectionLost, messages::kConnectionLost},
        {"RAM loader fails", "Z", "L", false, Outcome::EndConnectionLost, messages::kConnectionLost},
        {"D record fails", "Z", "D", false, Outcome::EndConnectionLost, messages::kConnectionLost},
        {"z fails", "Q", "z", false, Outcome::EndConnectionLost, messages::kConnectionLost},
        {"P record fails", "A", "P", false, Outcome::EndConnectionLost, messages::kConnectionLost},
        {"final R fails", "Q", "R", false, Outcome::EndConnectionLost, messages::kConnectionLost},
        {"line lost during erase", "Q", "E", true, Outcome::EndConnectionLost, messages::kConnectionLost},
        {"line lost during a record", "Q", "P", true, Outcome::EndConnectionLost, messages::kConnectionLost},
        {"no 64-byte block after the bootloader", "Z", {}, false, Outcome::EndNoBlocks, messages::kNoBlocks},
        {"no 128-byte block", "A", {}, false, Outcome::EndNoBlocks, messages::kNoBlocks},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const bool z = QByteArray(c.greeting) == "Z";
        LinkRig r(c.greeting, z ? 1 : 2);
        FirmwareSet fw = sampleFirmware();
        if (c.outcome == Outcome::EndNoBlocks && z)
            fw.FlashBlocks64 = {};
        else if (c.outcome == Outcome::EndNoBlocks)
            fw.FlashBlocks128 = {};
        r.link.timers().start();
        bool fired = false;
        r.port.writeError = [&](const QByteArray &w) {
            const bool hit =
                !fired && !c.failingWrite.isEmpty() && !w.startsWith("R2") && w.startsWith(c.failingWrite);
            fired = fired || hit;
            if (hit && c.loseLine)
                r.clock.at(r.clock.now() + 1ms, [&r] { r.port.loseLine(); });
            return hit && !c.loseLine ? CommError::WriteFailed : CommError::None;
        };
        if (c.loseLine)
            r.boot.stallAt = c.failingWrite == "E" ? 2 : 3;
        const Clock::ms start = r.clock.now();
        ASSERT_EQ(r.update.cmdProgram_Click(fw), c.outcome);
        EXPECT_EQ(fired, !c.failingWrite.isEmpty());
        EXPECT_EQ(r.dialogs.messages.back().text, qs(c.message));
        EXPECT_FALSE(r.port.portOpen());
        EXPECT_LT(r.clock.now() - start, 7s) << "no bound is waited out";
        if (c.outcome == Outcome::EndNoBlocks) {
            EXPECT_FALSE(r.sent('G') || r.sent('z') || r.sent('E'));
        }
    }
}

TEST(UpdateSequence, AnUnconfirmedPowerCycleEndsTheProgram)
{
    LinkRig r("Z", 1);
    const FirmwareSet fw = sampleFirmware();
    r.link.timers().start();
    r.update.powerCyclePrompt = [](const QString &, const QString &) { return false; };
    EXPECT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndCancelled);
    EXPECT_FALSE(r.port.portOpen());
    EXPECT_FALSE(r.sent('z'));
}
