#pragma once
// A clock that stands still until told to move. Time passes in pause(), in
// advance() and in a sleep, which jumps straight to the next due tick (or to
// its deadline) and runs it. Ticks run in time order, ties in the order the
// timers were started, so a run over this clock repeats exactly. A sleep
// with nothing due and no deadline would last forever and aborts instead.

#include "platform/Clock.h"

#include <cstdint>
#include <map>

namespace romwright {

class ManualClock : public Clock {
public:
    ms now() const override { return m_now; }
    // Time passes; ticks that fall due meanwhile wait for the next sleep or
    // advance, as a blocked thread would leave them.
    void pause(ms duration) override { m_now += duration; }
    std::unique_ptr<ClockTimer> timer(bool periodic, std::function<void()> onTick) override;
    void sleep(std::optional<ms> deadline) override;
    void wake() override { m_woken = true; }

    // Runs every tick due up to now + duration, in order; now ends there.
    void advance(ms duration);
    // Runs once at `at` (now if that has passed), from a sleep or an advance.
    void at(ms when, std::function<void()> action);

private:
    friend class ManualTimer;
    struct Due {
        ms at{};
        ms interval{};
        bool periodic = false;
        std::uint64_t order = 0;
        std::function<void()> onTick;
    };
    // Runs the earliest tick due by `limit`; false when there is none.
    bool runNext(ms limit);

    ms m_now{0};
    bool m_woken = false;
    std::uint64_t m_nextId = 1;
    std::uint64_t m_nextOrder = 0;
    std::map<std::uint64_t, Due> m_due; // by timer id
};

} // namespace romwright
