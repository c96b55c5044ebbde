#include "platform/QtClock.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <thread>

namespace romwright {

namespace {

class QtClockTimer final : public ClockTimer {
public:
    QtClockTimer(bool periodic, std::function<void()> onTick)
    {
        m_timer.setSingleShot(!periodic);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [tick = std::move(onTick)] { tick(); });
    }
    void start(std::chrono::milliseconds interval) override { m_timer.start(interval); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

QtClock::QtClock()
{
    m_elapsed.start();
}

Clock::ms QtClock::now() const
{
    return ms(m_elapsed.elapsed());
}

void QtClock::pause(ms duration)
{
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

std::unique_ptr<ClockTimer> QtClock::timer(bool periodic, std::function<void()> onTick)
{
    return std::make_unique<QtClockTimer>(periodic, std::move(onTick));
}

void QtClock::sleep(std::optional<ms> deadline)
{
    if (waitsEnded())
        return;
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    bound.setTimerType(Qt::PreciseTimer);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (deadline) {
        const ms left = *deadline - now();
        if (left.count() <= 0)
            return;
        bound.start(left);
    }
    m_sleeping.push_back(&loop);
    loop.exec();
    m_sleeping.erase(std::find(m_sleeping.begin(), m_sleeping.end(), &loop));
}

void QtClock::wake()
{
    // Every sleeper looks again: an outer wait's event may have come while
    // an inner one sleeps, and the outer loop returns once the inner has.
    for (QEventLoop *loop : m_sleeping)
        loop->quit();
}

} // namespace romwright
