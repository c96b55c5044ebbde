#include "app/window/WaitStatus.h"

namespace romwright {

WaitStatus::WaitStatus(Clock &clock, std::function<void(const QString &)> show)
    : m_clock(clock), m_show(std::move(show)), m_timer(clock.timer(true, [this] { tick(); }))
{
}

WaitStatus::~WaitStatus() = default;

void WaitStatus::begin(const QString &what)
{
    m_what = what;
    m_since = m_clock.now();
    m_show(m_what);
    m_timer->start(std::chrono::seconds(1));
}

void WaitStatus::end()
{
    m_timer->stop();
    m_what.clear();
    m_show(QString());
}

void WaitStatus::tick()
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_clock.now() - m_since).count();
    m_show(seconds > 0 ? QStringLiteral("%1 %2 s").arg(m_what).arg(seconds) : m_what);
}

} // namespace romwright
