#include "flash/WaitTimers.h"

namespace romwright {

WaitTimers::WaitTimers(Clock &clock, const FlashTimings &timings) : m_clock(clock), m_timings(timings) {}

void WaitTimers::start()
{
    m_zTicks = m_clock.now() + m_timings.waitForZInterval;
    m_qTicks = m_clock.now() + m_timings.waitForQInterval;
}

void WaitTimers::armWaitForZ()
{
    m_zTicks = m_clock.now() + m_timings.waitForZInterval;
}

void WaitTimers::restartWaitForQ(std::chrono::milliseconds interval)
{
    m_qTicks = m_clock.now() + interval;
}

} // namespace romwright
