// The line thread's clock: what ends a sleep and what runs inside one. An
// open port served by its sleeps is seen in whole updates on a real line
// (RoutesEndToEndTest) and in the port table's line-thread rows. Only lower
// bounds of real time are asserted; what must happen "soon" is an event the
// sleep cannot miss, so a loaded machine slows the test down but cannot fail it.
#include "platform/LineClock.h"

#include <gtest/gtest.h>

#include <thread>

using namespace romwright;
using namespace std::chrono_literals;

namespace {

// Sleeps until done() or the bound; the bound only keeps a fault from hanging the suite.
template <typename Done> bool sleepUntil(LineClock &clock, Done done, Clock::ms bound = 30s)
{
    const Clock::ms deadline = clock.now() + bound;
    while (!done() && clock.now() < deadline)
        clock.sleep(deadline);
    return done();
}

} // namespace

TEST(LineClock, EndsASleepOnlyForItsDeadlineATickAWakeOrTheEnd)
{
    LineClock clock;
    // The deadline: never before it.
    const Clock::ms start = clock.now();
    clock.sleep(start + 30ms);
    EXPECT_GE(clock.now() - start, 30ms);

    // A tick runs inside the sleep, on the sleeping thread; a stopped one never.
    const auto self = std::this_thread::get_id();
    int ticks = 0;
    bool tickedHere = true;
    auto periodic = clock.timer(true, [&] {
        ++ticks;
        tickedHere = tickedHere && std::this_thread::get_id() == self;
    });
    bool stoppedTicked = false;
    auto stopped = clock.timer(false, [&] { stoppedTicked = true; });
    stopped->start(5ms);
    stopped->stop();
    periodic->start(5ms);
    EXPECT_TRUE(sleepUntil(clock, [&] { return ticks >= 3; }));
    EXPECT_TRUE(tickedHere);
    EXPECT_FALSE(stoppedTicked);
    // A tick may stop its own timer and start another.
    bool second = false;
    auto later = clock.timer(false, [&] { second = true; });
    auto first = clock.timer(false, [&] {
        periodic->stop();
        later->start(1ms);
    });
    first->start(1ms);
    EXPECT_TRUE(sleepUntil(clock, [&] { return second; }));
    EXPECT_FALSE(periodic->isActive());

    // wake() and endWaits() from another thread end a sleep without a deadline.
    std::thread waker([&] {
        std::this_thread::sleep_for(20ms);
        clock.wake();
    });
    clock.sleep(std::nullopt);
    waker.join();
    std::thread ender([&] {
        std::this_thread::sleep_for(20ms);
        clock.endWaits();
    });
    clock.sleep(std::nullopt);
    ender.join();
    EXPECT_TRUE(clock.waitsEnded());
    clock.sleep(std::nullopt); // and every sleep after it returns at once
}
