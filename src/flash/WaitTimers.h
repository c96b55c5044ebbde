#pragma once
// The two greeting timers of the main window, tmrWaitForZ and tmrWaitForQ.
// A tick only raises its flag and wakes the waits; the greeting waits look
// at the flags. The time-out counts live here too: they are kept for the
// life of the program and shared by the start-up identification and every
// update.

#include "flash/FlashTimings.h"
#include "platform/Clock.h"

#include <memory>

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

    const bool *zFlag() const { return &m_bZTimedOut; }
    const bool *qFlag() const { return &m_bQTimedOut; }

    // Time-outs of WaitForLetterQ and WaitForLetterA so far.
    int nTimeoutsQ = 0;
    int nTimeoutsA = 0;

private:
    FlashTimings m_timings;
    bool m_bZTimedOut = false;
    bool m_bQTimedOut = false;
    std::unique_ptr<ClockTimer> m_tmrWaitForZ;
    std::unique_ptr<ClockTimer> m_tmrWaitForQ;
};

} // namespace romwright
