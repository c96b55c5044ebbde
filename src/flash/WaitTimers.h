#pragma once
// The two greeting timers of the main window, tmrWaitForZ and tmrWaitForQ,
// each kept as the moment it next ticks: started or restarted, a timer's
// flag is down until that moment and up from it, until the timer is started
// again. The greeting waits sleep until their timer's moment. The time-out
// counts live here too: they are kept for the life of the program and
// shared by the start-up identification and every update.

#include "flash/FlashTimings.h"
#include "platform/Clock.h"

namespace romwright {

class WaitTimers {
public:
    WaitTimers(Clock &clock, const FlashTimings &timings);

    // As the window loads: both timers running at their design interval.
    void start();

    // Arming before a wait for "Z": the flag is cleared and the timer
    // restarted, so the wait lasts its full interval unless "Z" comes.
    void armWaitForZ();

    // Restart of tmrWaitForQ: stop, new interval, clear the flag, start.
    void restartWaitForQ(std::chrono::milliseconds interval);

    // When each timer's flag goes up.
    Clock::ms zTicks() const { return m_zTicks; }
    Clock::ms qTicks() const { return m_qTicks; }

    // Time-outs of WaitForLetterQ and WaitForLetterA so far.
    int nTimeoutsQ = 0;
    int nTimeoutsA = 0;

private:
    Clock &m_clock;
    FlashTimings m_timings;
    Clock::ms m_zTicks{0};
    Clock::ms m_qTicks{0};
};

} // namespace romwright
