// The click on PROGRAM through a port that answers like the boot software:
// the routes' dialogue, the stops before a route, the bounds inside a route,
// failed writes and the controls locked while a route runs.
#include "flash/UpdateSequence.h"
#include "FakeBootloader.h"
#include "FakePort.h"
#include "flash/FlashMessages.h"
#include "platform/ViewState.h"
#include "support/ScriptedDialogs.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;
using test::FakeBootloader;
using test::FakePort;

namespace {

QString qs(const char *s)
{
    return QString::fromLatin1(s);
}

struct UpdateFixture : ::testing::Test {
    UpdateFixture()
        : link(port, view, dialogs, sleeper, FlashTimings{}.scaled(0.01)),
          update(link, view, dialogs, flags, target)
    {
        port.open();
        port.responder = device.responder();
        link.timers().start();
        view.setText(LabelId::FirmFile, QStringLiteral("Hlv1450ver5_9.s19"));
        view.setEnabled(ControlId::ProcessorMain, true);
        view.setEnabled(ControlId::ProcessorBarCode, true);

        firmware.FilesValid = true;
        firmware.FirmwareImage.fill(0xFF);
        firmware.BootloaderImage.fill(0xFF);
        for (int i = 0; i < 64; ++i) {
            firmware.FirmwareImage[static_cast<std::size_t>(0x1000 + i)] = static_cast<std::uint8_t>(i);
            firmware.FirmwareImage[static_cast<std::size_t>(0x10C0 + i)] = 0x5A;
            firmware.BootloaderImage[static_cast<std::size_t>(0xF000 + i)] = 0xA5;
        }
        firmware.BootloaderImage[0xFF80] = 0x12;
        firmware.FlashBlocks64[0] = {0x1000, 64};
        firmware.FlashBlocks64[1] = {0x1040, 64}; // erased, never sent
        firmware.FlashBlocks64[2] = {0x10C0, 64};
        firmware.FlashBlocks128[0] = {0x1000, 128};
        firmware.FlashBlocks128[1] = {0x1080, 128};
        firmware.BootloaderBlocks[0] = {0xF000, 64};
        firmware.BootloaderBlocks[1] = {0xF040, 64}; // erased
        firmware.BootloaderBlocks[2] = {0xFF80, 2};
    }

    std::vector<QByteArray> writesFrom(char first) const
    {
        std::vector<QByteArray> out;
        for (const auto &w : port.writes)
            if (w.startsWith(first))
                out.push_back(w);
        return out;
    }

    FakePort port;
    FakeBootloader device;
    ViewState view;
    test::ScriptedDialogs dialogs;
    test::CountingSleeper sleeper;
    ProgramFlags flags;
    TargetState target;
    FirmwareSet firmware;
    BootloaderLink link;
    UpdateSequence update;
};

using UpdateSequenceTest = UpdateFixture;

} // namespace

TEST_F(UpdateSequenceTest, RouteQProgramsTheNonEmptySixtyFourByteBlocksAndEnds)
{
    ASSERT_EQ(update.cmdProgram_Click(firmware), Outcome::EndCompleted);

    const std::vector<QByteArray> expected = {
        "R2",
        "R2",
        "z",
        "E",
        "P401000"
        "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F"
        "202122232425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F",
        "P4010C0" + QByteArray(128, '5').replace("55", "5A"),
        "R",
    };
    EXPECT_EQ(port.writes, expected);
    EXPECT_TRUE(port.settingsLog.contains(QStringLiteral("19200,n,8,1")));
    EXPECT_EQ(port.settingsLog.last(), QStringLiteral("38400,n,8,1"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, qs(messages::kComplete));
    EXPECT_EQ(dialogs.messages[0].title, QString());
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::None);
    EXPECT_FALSE(port.portOpen());
    EXPECT_TRUE(flags.bProgramming);
    for (LampId lamp : {LampId::Communication, LampId::FlashErase, LampId::Working, LampId::Program})
        EXPECT_EQ(view.lamp(lamp), Lamp::Green) << static_cast<int>(lamp);
    EXPECT_FALSE(view.isUpdatingNoteVisible());
    EXPECT_FALSE(view.isBusy());
}

TEST_F(UpdateSequenceTest, RouteAUsesTheHundredTwentyEightByteTable)
{
    target.bTargetA = true;
    device.greeting = "A";
    ASSERT_EQ(update.cmdProgram_Click(firmware), Outcome::EndCompleted);
    const auto records = writesFrom('P');
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].startsWith("P801000"));
    EXPECT_TRUE(records[1].startsWith("P801080"));
    EXPECT_EQ(records[1].mid(7, 128), QByteArray(128, 'F'));
    EXPECT_EQ(records[1].mid(7 + 128, 2), QByteArray("5A"));
}

TEST_F(UpdateSequenceTest, RouteZInstallsTheBootloaderThenProgramsSixtyFourByteBlocks)
{
    device.greeting = "Z";
    device.greetOnRequest = 1;
    target.bTargetA = true; // "Z" decides the route, whatever the start-up found
    firmware.RamLoaderImage[0x0050] = 0x77;
    ASSERT_EQ(update.cmdProgram_Click(firmware), Outcome::EndCompleted);

    ASSERT_GE(port.writes.size(), 6u);
    EXPECT_EQ(port.writes[0], QByteArray("R2"));
    EXPECT_EQ(port.writes[1], QByteArray("G"));
    EXPECT_EQ(port.writes[2].size(), 1024);
    EXPECT_EQ(port.writes[2].front(), 0x77);
    EXPECT_EQ(port.writes[3], QByteArray("E"));
    const auto raw = writesFrom('D');
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_EQ(raw[1].left(6), QByteArray("D\x05\xFF\x80\x12\xFF", 6));
    EXPECT_EQ(raw[1].mid(6), QByteArray(62, '\0'));
    EXPECT_EQ(writesFrom('P').size(), 2u);
    EXPECT_EQ(port.writes.back(), QByteArray("R"));

    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, qs(messages::kPowerCycle));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Power Cycle"));
    EXPECT_EQ(dialogs.messages[1].text, qs(messages::kComplete));
    EXPECT_EQ(view.lamp(LampId::RamLoader), Lamp::Green);
}

TEST_F(UpdateSequenceTest, AnUnconfirmedPowerCycleEndsTheProgram)
{
    device.greeting = "Z";
    device.greetOnRequest = 1;
    update.powerCyclePrompt = [](const QString &, const QString &) { return false; };
    EXPECT_EQ(update.cmdProgram_Click(firmware), Outcome::EndCancelled);
    EXPECT_FALSE(port.portOpen());
    EXPECT_TRUE(writesFrom('z').empty());
}

TEST_F(UpdateSequenceTest, TheBarCodeProcessorIsRequestedWithR4Throughout)
{
    flags.bBarCodeProcessor = true;
    device.greetOnRequest = 3; // after the silent time-out and the retry
    ASSERT_EQ(update.cmdProgram_Click(firmware), Outcome::EndCompleted);
    const auto requests = writesFrom('R');
    ASSERT_EQ(requests.size(), 4u); // three requests and the final "R"
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(requests[static_cast<std::size_t>(i)], QByteArray("R4"));
}

TEST_F(UpdateSequenceTest, AnErasedImageSendsNoRecordYetFinishesThePass)
{
    firmware.FirmwareImage.fill(0xFF);
    ASSERT_EQ(update.cmdProgram_Click(firmware), Outcome::EndCompleted);
    EXPECT_TRUE(writesFrom('P').empty());
    EXPECT_EQ(view.lamp(LampId::Program), Lamp::Green);
    EXPECT_EQ(view.lamp(LampId::Working), Lamp::Green);
    EXPECT_FALSE(view.isUpdatingNoteVisible());
}

TEST_F(UpdateSequenceTest, NoneInTheFileLabelStopsBeforeAnythingIsSent)
{
    struct Case {
        const char *label;
        bool stops;
    };
    const Case cases[] = {
        {"None", true},
        {"/home/None/H1.s19", true},
        {"none.s19", false},
        {"NONE.s19", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        port.writes.clear();
        dialogs.messages.clear();
        port.setPortOpen(false); // a label that passes then meets the port check
        view.setText(LabelId::FirmFile, qs(c.label));
        ASSERT_EQ(update.cmdProgram_Click(firmware), Outcome::Stopped);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, qs(c.stops ? messages::kSelectFirmware : messages::kPortFailure));
        EXPECT_EQ(view.isEnabled(ControlId::PortMenu), !c.stops);
        EXPECT_TRUE(view.isEnabled(ControlId::FileMenu));
        EXPECT_TRUE(view.isEnabled(ControlId::HelpMenu));
        EXPECT_TRUE(view.isEnabled(ControlId::ExitButton));
        EXPECT_EQ(view.isEnabled(ControlId::ProgramButton), !c.stops);
        EXPECT_TRUE(view.isEnabled(ControlId::BrowseButton));
        EXPECT_TRUE(view.isEnabled(ControlId::ProcessorBarCode));
        EXPECT_FALSE(view.isBusy());
        EXPECT_TRUE(flags.bProgramming);
    }
}

TEST_F(UpdateSequenceTest, ThePortMessageNamesTheFailureAndLeavesProgramAndExitUsable)
{
    port.setPortOpen(false);
    ASSERT_EQ(update.cmdProgram_Click(firmware), Outcome::Stopped);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Communications Failure"));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Information);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QLatin1Char('\r')));
}

TEST_F(UpdateSequenceTest, FilesThatDidNotAllLoadAreNeverSent)
{
    firmware.FilesValid = false;
    EXPECT_EQ(update.cmdProgram_Click(firmware), Outcome::Stopped);
    EXPECT_TRUE(port.writes.empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, qs(messages::kSelectFirmware));
}

TEST_F(UpdateSequenceTest, AFileThatFailedToLoadDuringTheRetryIsNotSent)
{
    device.greetOnRequest = 3;
    port.writeError = [&](const QByteArray &w) {
        if (w == "R2" && device.requests == 2)
            firmware.FilesValid = false; // a file opened through the File menu did not load
        return CommError::None;
    };
    ASSERT_EQ(update.cmdProgram_Click(firmware), Outcome::Stopped);
    EXPECT_TRUE(writesFrom('z').empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, qs(messages::kSelectFirmware));
    EXPECT_TRUE(port.portOpen());
    EXPECT_TRUE(view.isEnabled(ControlId::FileMenu));
    EXPECT_TRUE(view.isEnabled(ControlId::ExitButton));
    EXPECT_FALSE(view.isEnabled(ControlId::ProgramButton));
}

TEST_F(UpdateSequenceTest, TheFirstSilentTimeOutOpensTheMenusUntilTheRouteLocksThem)
{
    device.greetOnRequest = 3;
    std::map<QByteArray, std::map<ControlId, bool>> seen;
    port.writeError = [&](const QByteArray &w) {
        auto &at = seen[w.left(2) + QByteArray::number(static_cast<int>(seen.size()))];
        for (ControlId id : {ControlId::FileMenu, ControlId::PortMenu, ControlId::BrowseButton,
                             ControlId::ProcessorMain, ControlId::ProgramButton, ControlId::ExitButton})
            at[id] = view.isEnabled(id);
        return CommError::None;
    };
    ASSERT_EQ(update.cmdProgram_Click(firmware), Outcome::EndCompleted);
    const auto &firstRequest = seen.at("R20");
    const auto &retry = seen.at("R22");
    const auto &route = seen.at("z3");
    EXPECT_FALSE(firstRequest.at(ControlId::FileMenu));
    EXPECT_FALSE(firstRequest.at(ControlId::BrowseButton));
    EXPECT_TRUE(retry.at(ControlId::FileMenu));
    EXPECT_TRUE(retry.at(ControlId::PortMenu));
    EXPECT_FALSE(retry.at(ControlId::BrowseButton));
    EXPECT_FALSE(retry.at(ControlId::ProgramButton));
    for (ControlId id : {ControlId::FileMenu, ControlId::PortMenu, ControlId::BrowseButton,
                         ControlId::ProcessorMain, ControlId::ProgramButton, ControlId::ExitButton}) {
        EXPECT_FALSE(route.at(id)) << static_cast<int>(id);
        EXPECT_FALSE(view.isEnabled(id)) << static_cast<int>(id);
    }
}

TEST_F(UpdateSequenceTest, TimeOutCountsFromStartUpDecideWhetherTheFirstMissEndsTheProgram)
{
    struct Case {
        const char *name;
        bool bTargetA;
        int nTimeoutsQ;
        int nTimeoutsA;
        int requests;
    };
    const Case cases[] = {
        {"Q arrived at start-up", false, 0, 0, 3},
        {"Q missed, A arrived", true, 1, 0, 3},
        {"neither arrived", false, 1, 1, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakePort p;
        ViewState v;
        v.setText(LabelId::FirmFile, QStringLiteral("H.s19"));
        test::ScriptedDialogs d;
        test::CountingSleeper s;
        ProgramFlags f;
        TargetState t;
        t.bTargetA = c.bTargetA;
        BootloaderLink l(p, v, d, s, FlashTimings{}.scaled(0.01));
        UpdateSequence u(l, v, d, f, t);
        p.open();
        l.timers().nTimeoutsQ = c.nTimeoutsQ;
        l.timers().nTimeoutsA = c.nTimeoutsA;
        EXPECT_EQ(u.cmdProgram_Click(firmware), Outcome::EndTimedOut);
        EXPECT_EQ(static_cast<int>(p.writes.size()), c.requests);
        ASSERT_EQ(d.messages.size(), 1u);
        EXPECT_EQ(d.messages[0].text, QStringLiteral("The Romwright timed out."));
        EXPECT_FALSE(p.portOpen());
    }
}

TEST_F(UpdateSequenceTest, EveryAcknowledgementInsideARouteIsBounded)
{
    const FlashTimings t = link.timings();
    struct Case {
        const char *name;
        const char *greeting;
        int greetOnRequest;
        int stallAt; // the nth answer never comes
        std::chrono::milliseconds bound;
    };
    const Case cases[] = {
        {"G", "Z", 1, 1, t.ackBound},
        {"RAM loader", "Z", 1, 2, t.ackBound},
        {"erase by the RAM loader", "Z", 1, 3, t.eraseBound},
        {"D record", "Z", 1, 4, t.ackBound},
        {"z", "Q", 2, 1, t.ackBound},
        {"e", "Q", 2, 2, t.eraseBound},
        {"p", "Q", 2, 4, t.ackBound},
        {"e of the 128-byte route", "A", 2, 2, t.eraseBound},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakePort p;
        FakeBootloader b;
        b.greeting = c.greeting;
        b.greetOnRequest = c.greetOnRequest;
        b.stallAt = c.stallAt;
        p.responder = b.responder();
        ViewState v;
        v.setText(LabelId::FirmFile, QStringLiteral("H.s19"));
        test::ScriptedDialogs d;
        test::CountingSleeper s;
        ProgramFlags f;
        TargetState tg;
        tg.bTargetA = QByteArray(c.greeting) == "A";
        BootloaderLink l(p, v, d, s, t);
        UpdateSequence u(l, v, d, f, tg);
        p.open();
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(u.cmdProgram_Click(firmware), Outcome::EndStalled);
        ASSERT_EQ(d.messages.size(), std::string(c.greeting) == "Z" && c.stallAt > 4 ? 2u : 1u);
        EXPECT_EQ(d.messages.back().text, qs(messages::kStalled));
        EXPECT_EQ(d.messages.back().title, QStringLiteral("Communications Failure"));
        EXPECT_EQ(d.messages.back().icon, MessageIcon::Information);
        EXPECT_FALSE(p.portOpen());
        EXPECT_TRUE(f.bProgramming);
        // The greeting waits before the route take up to one greeting interval.
        EXPECT_GE(clock.elapsed(), c.bound.count());
        EXPECT_LT(clock.elapsed(), (c.bound + t.waitForZInterval + 1000ms).count());
    }
}

TEST_F(UpdateSequenceTest, AFailedWriteOrALostLineInsideARouteEndsIt)
{
    struct Case {
        const char *name;
        const char *greeting;
        int greetOnRequest;
        QByteArray failingWrite; // prefix of the write that fails
        bool loseLine;           // instead, the line goes while that write waits for its answer
    };
    const Case cases[] = {
        {"G fails", "Z", 1, "G", false},
        {"RAM loader fails", "Z", 1, QByteArray(1, '\0'), false},
        {"D record fails", "Z", 1, "D", false},
        {"z fails", "Q", 2, "z", false},
        {"P record fails", "A", 2, "P", false},
        {"final R fails", "Q", 2, "R", false},
        {"line lost during erase", "Q", 2, "E", true},
        {"line lost during a record", "Q", 2, "P", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakePort p;
        FakeBootloader b;
        b.greeting = c.greeting;
        b.greetOnRequest = c.greetOnRequest;
        ViewState v;
        v.setText(LabelId::FirmFile, QStringLiteral("H.s19"));
        test::ScriptedDialogs d;
        test::CountingSleeper s;
        ProgramFlags f;
        TargetState tg;
        tg.bTargetA = QByteArray(c.greeting) == "A";
        firmware.RamLoaderImage.fill(0);
        BootloaderLink l(p, v, d, s, link.timings());
        UpdateSequence u(l, v, d, f, tg);
        bool fired = false;
        p.responder = [&](const QByteArray &w) {
            if (c.loseLine && !fired && w.startsWith(c.failingWrite)) {
                fired = true;
                QTimer::singleShot(5, &p, [&p] { p.loseLine(); });
                return QByteArray();
            }
            return b.answer(w);
        };
        p.writeError = [&](const QByteArray &w) {
            const bool fail = !c.loseLine && !fired && !w.startsWith("R2") && w.startsWith(c.failingWrite);
            fired = fired || fail;
            return fail ? CommError::WriteFailed : CommError::None;
        };
        p.open();
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(u.cmdProgram_Click(firmware), Outcome::EndConnectionLost);
        EXPECT_TRUE(fired);
        EXPECT_EQ(d.messages.back().text, qs(messages::kConnectionLost));
        EXPECT_EQ(d.messages.back().title, QStringLiteral("Communications Failure"));
        EXPECT_FALSE(p.portOpen());
        EXPECT_LT(clock.elapsed(), 1000) << "no bound is waited out";
    }
}
