#pragma once
// Time as the program sees it: a monotonic "now", timers, blocking pauses,
// and the sleep every wait is built on. QtClock runs on the real clock;
// ManualClock moves only when told, so the dialogue's timing can be checked
// to the millisecond without waiting for it.
//
// A wait is a loop: test its condition, then sleep() until something that
// may change it calls wake() (a byte, a timer tick, a lost line), or until
// its deadline. Once endWaits() is called every sleep returns at once and
// stays that way: the program is ending and each wait must unwind.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace romwright {

class ClockTimer {
public:
    virtual ~ClockTimer() = default;
    // Starts, or restarts when running: the next tick comes one interval from now.
    virtual void start(std::chrono::milliseconds interval) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

class Clock {
public:
    using ms = std::chrono::milliseconds;
    virtual ~Clock() = default;

    virtual ms now() const = 0;
    // Freezes the caller: no event, no tick runs meanwhile. The scanner's
    // boot software needs these gaps.
    virtual void pause(ms duration) = 0;
    // onTick runs on this thread, from inside a sleep or the thread's event loop.
    virtual std::unique_ptr<ClockTimer> timer(bool periodic, std::function<void()> onTick) = 0;

    // Blocks until wake(), the deadline (a now() value) or endWaits(); what
    // the clock serves meanwhile (a line clock: the open ports, its timers)
    // runs on this thread. May return early; callers test their condition again.
    virtual void sleep(std::optional<ms> deadline) = 0;
    virtual void wake() = 0;

    void endWaits()
    {
        m_waitsEnded = true;
        wake();
    }
    bool waitsEnded() const { return m_waitsEnded; }

private:
    std::atomic<bool> m_waitsEnded = false; // set from any thread
};

} // namespace romwright
