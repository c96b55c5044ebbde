#include "platform/ManualClock.h"

#include <QtGlobal>

namespace romwright {

class ManualTimer final : public ClockTimer {
public:
    ManualTimer(ManualClock &clock, bool periodic, std::function<void()> onTick)
        : m_clock(clock), m_id(clock.m_nextId++), m_periodic(periodic), m_onTick(std::move(onTick))
    {
    }
    ~ManualTimer() override { stop(); }
    void start(std::chrono::milliseconds interval) override
    {
        m_clock.m_due[m_id] = {m_clock.m_now + interval, interval, m_periodic, m_clock.m_nextOrder++,
                               m_onTick};
    }
    void stop() override { m_clock.m_due.erase(m_id); }
    bool isActive() const override { return m_clock.m_due.count(m_id) > 0; }

private:
    ManualClock &m_clock;
    std::uint64_t m_id;
    bool m_periodic;
    std::function<void()> m_onTick;
};

std::unique_ptr<ClockTimer> ManualClock::timer(bool periodic, std::function<void()> onTick)
{
    return std::make_unique<ManualTimer>(*this, periodic, std::move(onTick));
}

void ManualClock::at(ms when, std::function<void()> action)
{
    m_due[m_nextId++] = {when, ms(0), false, m_nextOrder++, std::move(action)};
}

bool ManualClock::runNext(ms limit)
{
    auto next = m_due.end();
    for (auto it = m_due.begin(); it != m_due.end(); ++it)
        if (next == m_due.end() || it->second.at < next->second.at ||
            (it->second.at == next->second.at && it->second.order < next->second.order))
            next = it;
    if (next == m_due.end() || next->second.at > limit)
        return false;
    if (next->second.at > m_now)
        m_now = next->second.at;
    const std::function<void()> tick = next->second.onTick;
    if (next->second.periodic) {
        // A tick that was held up by a pause comes once; the next follows a
        // whole interval later, as with a late event-loop timer.
        Due &due = next->second;
        due.at += due.interval;
        if (due.at <= m_now)
            due.at = m_now + due.interval;
        due.order = m_nextOrder++;
    } else {
        m_due.erase(next);
    }
    tick();
    return true;
}

void ManualClock::advance(ms duration)
{
    const ms until = m_now + duration;
    while (runNext(until)) {
    }
    m_now = until;
}

void ManualClock::sleep(std::optional<ms> deadline)
{
    m_woken = false;
    while (!m_woken && !waitsEnded()) {
        if (runNext(deadline.value_or(ms::max())))
            continue;
        if (!deadline)
            qFatal("ManualClock: a wait with nothing due and no deadline would never end");
        m_now = std::max(m_now, *deadline);
        return;
    }
}

} // namespace romwright
