#include "platform/QtClock.h"

#include <QTimer>
#include <thread>
#include <utility>

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

QtClock::~QtClock() = default;

void QtClock::sleep(std::optional<ms> deadline)
{
    std::unique_lock lock(m_mutex);
    const auto woken = [this] { return std::exchange(m_woken, false) || waitsEnded(); };
    if (!deadline) {
        m_wakeUp.wait(lock, woken);
        return;
    }
    const ms left = *deadline - now();
    if (left.count() > 0)
        m_wakeUp.wait_for(lock, left, woken);
}

void QtClock::wake()
{
    {
        const std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_wakeUp.notify_all();
}

} // namespace romwright
