// The click on PROGRAM through a port that answers like the boot software
// (whole routes run against the simulator in RoutesEndToEndTest): the stops
// before a route, the bounds inside a route, failed writes and the controls
// locked while a route runs.
#include "flash/UpdateSequence.h"
#include "FakeBootloader.h"
#include "FakePort.h"
#include "flash/FlashMessages.h"
#include "view/ViewState.h"
#include "support/ScriptedDialogs.h"

#include <QElapsedTimer>
#include <QTimer>
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

FirmwareSet sampleFirmware()
{
    FirmwareSet fw;
    fw.FilesValid = true;
    fw.FirmwareImage.fill(0xFF);
    fw.BootloaderImage.fill(0xFF);
    for (int i = 0; i < 64; ++i) {
        fw.FirmwareImage[static_cast<std::size_t>(0x1000 + i)] = static_cast<std::uint8_t>(i);
        fw.FirmwareImage[static_cast<std::size_t>(0x10C0 + i)] = 0x5A;
        fw.BootloaderImage[static_cast<std::size_t>(0xF000 + i)] = 0xA5;
    }
    fw.FlashBlocks64[0] = {0x1000, 64};
    fw.FlashBlocks64[1] = {0x1040, 64}; // erased, never sent
    fw.FlashBlocks64[2] = {0x10C0, 64};
    fw.FlashBlocks128[0] = {0x1000, 128};
    fw.FlashBlocks128[1] = {0x1080, 128};
    fw.BootloaderBlocks[0] = {0xF000, 64};
    return fw;
}

// One window with its port on a fake boot software greeting with `greeting`.
struct Rig {
    explicit Rig(const char *greeting = "Q", int greetOn = 2, FlashTimings timings = FlashTimings{}.scaled(0.01))
        : link(port, sleeper, timings), update(link, view, dialogs, flags, target)
    {
        device.greeting = greeting;
        device.greetOnRequest = greetOn;
        target.bTargetA = QByteArray(greeting) == "A";
        port.responder = device.responder();
        port.open();
        link.timers().start();
        view.setText(LabelId::FirmFile, QStringLiteral("Hlv1450ver5_9.s19"));
    }
    bool sent(char first) const
    {
        return std::any_of(port.writes.begin(), port.writes.end(), [first](const QByteArray &w) { return w.startsWith(first); });
    }
    FakePort port;
    FakeBootloader device;
    ViewState view;
    test::ScriptedDialogs dialogs;
    test::CountingSleeper sleeper;
    ProgramFlags flags;
    TargetState target;
    BootloaderLink link;
    UpdateSequence update;
};

const ControlId kLocked[] = {ControlId::FileMenu, ControlId::PortMenu, ControlId::BrowseButton,
                             ControlId::ProcessorMain, ControlId::ProgramButton, ControlId::ExitButton};

} // namespace

TEST(UpdateSequence, AnUnconfirmedPowerCycleEndsTheProgram)
{
    Rig r("Z", 1);
    FirmwareSet fw = sampleFirmware();
    r.update.powerCyclePrompt = [](const QString &, const QString &) { return false; };
    EXPECT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndCancelled);
    EXPECT_FALSE(r.port.portOpen());
    EXPECT_FALSE(r.sent('z'));
}

TEST(UpdateSequence, NoFileOrAFileThatDidNotLoadStopsBeforeAnythingIsSent)
{
    struct Case {
        const char *label;
        bool filesValid;
        bool stops; // otherwise the closed port stops it
    };
    const Case cases[] = {
        {"None", true, true},
        {"/home/None/H1.s19", true, true},
        {"H1.s19", false, true},
        {"none.s19", true, false},
        {"NONE.s19", true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        Rig r;
        FirmwareSet fw = sampleFirmware();
        fw.FilesValid = c.filesValid;
        r.port.setPortOpen(false);
        r.view.setText(LabelId::FirmFile, qs(c.label));
        ASSERT_EQ(r.update.cmdProgram_Click(fw), Outcome::Stopped);
        EXPECT_TRUE(r.port.writes.empty());
        ASSERT_EQ(r.dialogs.messages.size(), 1u);
        EXPECT_EQ(r.dialogs.messages[0].text, qs(c.stops ? messages::kSelectFirmware : messages::kPortFailure));
        EXPECT_EQ(r.view.isEnabled(ControlId::PortMenu), !c.stops);
        EXPECT_EQ(r.view.isEnabled(ControlId::ProgramButton), !c.stops);
        for (ControlId id : {ControlId::FileMenu, ControlId::HelpMenu, ControlId::ExitButton, ControlId::BrowseButton})
            EXPECT_TRUE(r.view.isEnabled(id)) << static_cast<int>(id);
        EXPECT_FALSE(r.view.isBusy());
    }
}

TEST(UpdateSequence, AFileThatFailedToLoadDuringTheRetryIsNotSent)
{
    Rig r("Q", 3);
    FirmwareSet fw = sampleFirmware();
    r.port.writeError = [&](const QByteArray &w) {
        if (w == "R2" && r.device.requests == 2)
            fw.FilesValid = false; // a file opened through the File menu did not load
        return CommError::None;
    };
    ASSERT_EQ(r.update.cmdProgram_Click(fw), Outcome::Stopped);
    EXPECT_FALSE(r.sent('z'));
    ASSERT_EQ(r.dialogs.messages.size(), 1u);
    EXPECT_EQ(r.dialogs.messages[0].text, qs(messages::kSelectFirmware));
    EXPECT_TRUE(r.port.portOpen());
    EXPECT_TRUE(r.view.isEnabled(ControlId::FileMenu));
    EXPECT_FALSE(r.view.isEnabled(ControlId::ProgramButton));
}

TEST(UpdateSequence, TheFirstSilentTimeOutOpensTheMenusUntilTheRouteLocksThem)
{
    Rig r("Q", 3);
    FirmwareSet fw = sampleFirmware();
    std::map<QByteArray, std::map<ControlId, bool>> seen;
    r.port.writeError = [&](const QByteArray &w) {
        auto &at = seen[w.left(2) + QByteArray::number(static_cast<int>(seen.size()))];
        for (ControlId id : kLocked)
            at[id] = r.view.isEnabled(id);
        return CommError::None;
    };
    ASSERT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndCompleted);
    EXPECT_FALSE(seen.at("R20").at(ControlId::FileMenu));
    const auto &retry = seen.at("R22");
    EXPECT_TRUE(retry.at(ControlId::FileMenu));
    EXPECT_TRUE(retry.at(ControlId::PortMenu));
    EXPECT_FALSE(retry.at(ControlId::BrowseButton));
    EXPECT_FALSE(retry.at(ControlId::ProgramButton));
    for (ControlId id : kLocked) {
        EXPECT_FALSE(seen.at("z3").at(id)) << static_cast<int>(id);
        EXPECT_FALSE(r.view.isEnabled(id)) << static_cast<int>(id);
    }
}

TEST(UpdateSequence, TimeOutCountsFromStartUpDecideWhetherTheFirstMissEndsTheProgram)
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
        Rig r("Q", 0);
        FirmwareSet fw = sampleFirmware();
        r.target.bTargetA = c.bTargetA;
        r.link.timers().nTimeoutsQ = c.nTimeoutsQ;
        r.link.timers().nTimeoutsA = c.nTimeoutsA;
        EXPECT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndTimedOut);
        EXPECT_EQ(static_cast<int>(r.port.writes.size()), c.requests);
        ASSERT_EQ(r.dialogs.messages.size(), 1u);
        EXPECT_EQ(r.dialogs.messages[0].text, QStringLiteral("The Romwright timed out."));
        EXPECT_FALSE(r.port.portOpen());
    }
}

TEST(UpdateSequence, EveryAcknowledgementInsideARouteIsBounded)
{
    const FlashTimings t = FlashTimings{}.scaled(0.01);
    struct Case {
        const char *name;
        const char *greeting;
        int stallAt; // the nth answer never comes
        std::chrono::milliseconds bound;
    };
    const Case cases[] = {
        {"G", "Z", 1, t.ackBound},
        {"RAM loader", "Z", 2, t.ackBound},
        {"erase by the RAM loader", "Z", 3, t.eraseBound},
        {"D record", "Z", 4, t.ackBound},
        {"z", "Q", 1, t.ackBound},
        {"e", "Q", 2, t.eraseBound},
        {"p", "Q", 4, t.ackBound},
        {"e of the 128-byte route", "A", 2, t.eraseBound},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig r(c.greeting, QByteArray(c.greeting) == "Z" ? 1 : 2, t);
        FirmwareSet fw = sampleFirmware();
        r.device.stallAt = c.stallAt;
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndStalled);
        EXPECT_EQ(r.dialogs.messages.back().text, qs(messages::kStalled));
        EXPECT_EQ(r.dialogs.messages.back().title, QStringLiteral("Communications Failure"));
        EXPECT_FALSE(r.port.portOpen());
        // The greeting waits before the route take up to one greeting interval.
        EXPECT_GE(clock.elapsed(), c.bound.count());
        EXPECT_LT(clock.elapsed(), (c.bound + t.waitForZInterval + 1000ms).count());
    }
}

TEST(UpdateSequence, AFailedWriteOrALostLineInsideARouteEndsIt)
{
    struct Case {
        const char *name;
        const char *greeting;
        QByteArray failingWrite; // prefix of the write that fails
        bool loseLine;           // instead, the line goes while that write waits for its answer
    };
    const Case cases[] = {
        {"G fails", "Z", "G", false},
        {"RAM loader fails", "Z", QByteArray(1, '\0'), false},
        {"D record fails", "Z", "D", false},
        {"z fails", "Q", "z", false},
        {"P record fails", "A", "P", false},
        {"final R fails", "Q", "R", false},
        {"line lost during erase", "Q", "E", true},
        {"line lost during a record", "Q", "P", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig r(c.greeting, QByteArray(c.greeting) == "Z" ? 1 : 2);
        FirmwareSet fw = sampleFirmware();
        fw.RamLoaderImage.fill(0);
        bool fired = false;
        r.port.responder = [&](const QByteArray &w) {
            if (c.loseLine && !fired && w.startsWith(c.failingWrite)) {
                fired = true;
                QTimer::singleShot(5, &r.port, [&r] { r.port.loseLine(); });
                return QByteArray();
            }
            return r.device.answer(w);
        };
        r.port.writeError = [&](const QByteArray &w) {
            const bool fail = !c.loseLine && !fired && !w.startsWith("R2") && w.startsWith(c.failingWrite);
            fired = fired || fail;
            return fail ? CommError::WriteFailed : CommError::None;
        };
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndConnectionLost);
        EXPECT_TRUE(fired);
        EXPECT_EQ(r.dialogs.messages.back().text, qs(messages::kConnectionLost));
        EXPECT_FALSE(r.port.portOpen());
        EXPECT_LT(clock.elapsed(), 1000) << "no bound is waited out";
    }
}

TEST(UpdateSequence, ARouteWhoseTableHoldsNoBlockOfTheImageErasesNothing)
{
    const char *greetings[] = {"Z", "A"}; // 64-byte table after the bootloader; 128-byte table
    for (const char *greeting : greetings) {
        SCOPED_TRACE(greeting);
        const bool z = QByteArray(greeting) == "Z";
        Rig r(greeting, z ? 1 : 2);
        FirmwareSet fw = sampleFirmware();
        if (z)
            fw.FlashBlocks64 = {};
        else
            fw.FlashBlocks128 = {};
        ASSERT_EQ(r.update.cmdProgram_Click(fw), Outcome::EndNoBlocks);
        EXPECT_FALSE(r.sent('G') || r.sent('z') || r.sent('E'));
        ASSERT_EQ(r.dialogs.messages.size(), 1u);
        EXPECT_EQ(r.dialogs.messages[0].text, qs(messages::kNoBlocks));
        EXPECT_EQ(r.dialogs.messages[0].title, QStringLiteral("Communications Failure"));
        EXPECT_FALSE(r.port.portOpen());
    }
}
