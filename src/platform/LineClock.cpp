#include "platform/LineClock.h"

#include "platform/LineWaitsDetail.h"

#include <thread>

namespace romwright {

class LineTimer final : public ClockTimer {
public:
    LineTimer(LineClock &clock, bool periodic, std::function<void()> onTick)
        : m_clock(clock), m_id(clock.m_nextId++), m_periodic(periodic), m_onTick(std::move(onTick))
    {
    }
    ~LineTimer() override { stop(); }
    void start(std::chrono::milliseconds interval) override
    {
        m_clock.m_due[m_id] = {std::chrono::steady_clock::now() + interval, interval, m_periodic, m_onTick};
    }
    void stop() override { m_clock.m_due.erase(m_id); }
    bool isActive() const override { return m_clock.m_due.count(m_id) > 0; }

private:
    LineClock &m_clock;
    std::uint64_t m_id;
    bool m_periodic;
    std::function<void()> m_onTick;
};

LineClock::LineClock() : m_origin(std::chrono::steady_clock::now()), m_owner(std::this_thread::get_id())
{
    lineWaits::detail::t_clock = this;
}

LineClock::~LineClock()
{
    // May be destroyed on another thread once its own has ended.
    if (lineWaits::detail::t_clock == this)
        lineWaits::detail::t_clock = nullptr;
}

Clock::ms LineClock::now() const
{
    return std::chrono::duration_cast<ms>(std::chrono::steady_clock::now() - m_origin);
}

void LineClock::pause(ms duration)
{
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

std::unique_ptr<ClockTimer> LineClock::timer(bool periodic, std::function<void()> onTick)
{
    return std::make_unique<LineTimer>(*this, periodic, std::move(onTick));
}

bool LineClock::runDue()
{
    bool ran = false;
    for (;;) {
        const auto at = std::chrono::steady_clock::now();
        auto next = m_due.end();
        for (auto it = m_due.begin(); it != m_due.end(); ++it)
            if (it->second.at <= at && (next == m_due.end() || it->second.at < next->second.at))
                next = it;
        if (next == m_due.end())
            return ran;
        const std::function<void()> tick = next->second.onTick;
        if (next->second.periodic) {
            // A tick held up by a pause comes once; the next a whole interval on.
            Due &due = next->second;
            due.at += due.interval;
            if (due.at <= at)
                due.at = at + due.interval;
        } else {
            m_due.erase(next);
        }
        ran = true;
        tick(); // may start or stop timers, this one included
    }
}

void LineClock::sleep(std::optional<ms> deadline)
{
    if (waitsEnded() || runDue())
        return;
    std::optional<std::chrono::steady_clock::time_point> until;
    if (deadline)
        until = m_origin + *deadline;
    for (const auto &[id, due] : m_due)
        if (!until || due.at < *until)
            until = due.at;
    if (until && *until <= std::chrono::steady_clock::now())
        return;
    if (!m_waker.wait(until))
        std::this_thread::sleep_until(until.value_or(std::chrono::steady_clock::now() + ms(10)));
    runDue();
    if (m_afterSleep)
        m_afterSleep();
}

void LineClock::wake()
{
    // On the clock's own thread nobody sleeps while this runs, or the sleep
    // that runs it (a port served, a tick) returns once it has: the caller
    // looks at its condition again before it sleeps. A wake-up written
    // there would only cost the next sleep a return and another wait.
    if (std::this_thread::get_id() != m_owner)
        m_waker.wake();
}

} // namespace romwright
