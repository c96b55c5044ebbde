#include "flash/WaitTimers.h"

namespace romwright {

WaitTimers::WaitTimers(const FlashTimings &timings, QObject *parent) : QObject(parent)
{
    for (QTimer *timer : {&m_tmrWaitForZ, &m_tmrWaitForQ})
        timer->setTimerType(Qt::PreciseTimer);
    m_tmrWaitForZ.setInterval(timings.waitForZInterval);
    m_tmrWaitForQ.setInterval(timings.waitForQInterval);
    connect(&m_tmrWaitForZ, &QTimer::timeout, this, [this] {
        m_bZTimedOut = true;
        emit ticked();
    });
    connect(&m_tmrWaitForQ, &QTimer::timeout, this, [this] {
        m_bQTimedOut = true;
        emit ticked();
    });
}

void WaitTimers::start()
{
    m_tmrWaitForZ.start();
    m_tmrWaitForQ.start();
}

void WaitTimers::armWaitForZ()
{
    m_bZTimedOut = false;
    m_tmrWaitForZ.start(); // start() on a running timer restarts its interval
}

void WaitTimers::restartWaitForQ(std::chrono::milliseconds interval)
{
    m_tmrWaitForQ.stop();
    m_tmrWaitForQ.setInterval(interval);
    m_bQTimedOut = false;
    m_tmrWaitForQ.start();
}

} // namespace romwright
