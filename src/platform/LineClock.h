#pragma once
// The clock of the thread that owns the serial line. Its sleep blocks the
// thread on the line's own handles (the open ports, the termination
// signals, a wake-up other threads may give) until one is ready, the
// deadline or the next tick of one of its timers; the ports are served and
// the ticks run right there, on this thread. No event loop runs inside a
// wait, so nothing else of the program can.

#include "platform/Clock.h"
#include "platform/LineWaits.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <thread>

namespace romwright {

class LineClock : public Clock {
public:
    LineClock();
    ~LineClock() override;
    ms now() const override;
    void pause(ms duration) override;
    std::unique_ptr<ClockTimer> timer(bool periodic, std::function<void()> onTick) override;
    void sleep(std::optional<ms> deadline) override;
    // From any thread.
    void wake() override;
    // Runs at the end of every sleep, on this thread: what the line's owner
    // lets a waiting job take in (a file chosen while a greeting is awaited).
    void setAfterSleep(std::function<void()> afterSleep) { m_afterSleep = std::move(afterSleep); }

private:
    friend class LineTimer;
    struct Due {
        std::chrono::steady_clock::time_point at;
        ms interval;
        bool periodic;
        std::function<void()> onTick;
    };
    // Runs the ticks that are due; true when one ran.
    bool runDue();

    std::chrono::steady_clock::time_point m_origin;
    std::thread::id m_owner; // the thread it was made on, whose waits it serves
    LineWaker m_waker;
    std::map<std::uint64_t, Due> m_due; // by timer
    std::uint64_t m_nextId = 0;
    std::function<void()> m_afterSleep;
};

} // namespace romwright
