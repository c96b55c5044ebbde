#include "flash/WaitTimers.h"

namespace romwright {

WaitTimers::WaitTimers(Clock &clock, const FlashTimings &timings)
    : m_timings(timings), m_tmrWaitForZ(clock.timer(true,
                                                    [this, &clock] {
                                                        m_bZTimedOut = true;
                                                        clock.wake();
                                                    })),
      m_tmrWaitForQ(clock.timer(true, [this, &clock] {
          m_bQTimedOut = true;
          clock.wake();
      }))
{
}

void WaitTimers::start()
{
    m_tmrWaitForZ->start(m_timings.waitForZInterval);
    m_tmrWaitForQ->start(m_timings.waitForQInterval);
}

void WaitTimers::armWaitForZ()
{
    m_bZTimedOut = false;
    m_tmrWaitForZ->start(m_timings.waitForZInterval); // a running timer starts its interval again
}

void WaitTimers::restartWaitForQ(std::chrono::milliseconds interval)
{
    m_tmrWaitForQ->stop();
    m_bQTimedOut = false;
    m_tmrWaitForQ->start(interval);
}

} // namespace romwright
