#include "platform/QtClock.h"

#include <QEventLoop>
#include <QTimer>
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

struct QtClock::Sleeper {
    Sleeper()
    {
        bound.setSingleShot(true);
        bound.setTimerType(Qt::PreciseTimer);
        QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    }
    QEventLoop loop;
    QTimer bound;
};

QtClock::~QtClock() = default;

void QtClock::sleep(std::optional<ms> deadline)
{
    if (waitsEnded())
        return;
    ms left{0};
    if (deadline) {
        left = *deadline - now();
        if (left.count() <= 0)
            return;
    }
    if (m_depth == m_sleepers.size())
        m_sleepers.push_back(std::make_unique<Sleeper>());
    Sleeper &sleeper = *m_sleepers[m_depth];
    if (deadline)
        sleeper.bound.start(left);
    ++m_depth;
    sleeper.loop.exec();
    --m_depth;
    sleeper.bound.stop();
}

void QtClock::wake()
{
    // Every sleeper looks again: an outer wait's event may have come while
    // an inner one sleeps, and the outer loop returns once the inner has.
    for (std::size_t i = 0; i < m_depth; ++i)
        m_sleepers[i]->loop.quit();
}

} // namespace romwright
