#include "app/window/WaitStatus.h"

#include <utility>

namespace romwright {

WaitStatus::WaitStatus(Clock &clock, std::function<void(const QString &)> show)
    : m_clock(clock), m_show(std::move(show)), m_timer(clock.timer(true, [this] { tick(); }))
{
}

WaitStatus::~WaitStatus() = default;

void WaitStatus::begin(const QString &what)
{
    m_listenOver = nullptr;
    m_what = what;
    m_since = m_clock.now();
    m_silent = false;
    m_show(m_what);
    m_timer->start(std::chrono::seconds(1));
}

void WaitStatus::listen(const QString &what, std::function<bool()> over, const QString &then)
{
    begin(what);
    m_listenOver = std::move(over);
    m_then = then;
}

void WaitStatus::heard()
{
    if (!active())
        return;
    m_since = m_clock.now();
    m_timer->start(std::chrono::seconds(1)); // whole seconds of silence from here
    if (std::exchange(m_silent, false))
        m_show(m_what);
}

void WaitStatus::end()
{
    m_timer->stop();
    m_listenOver = nullptr;
    m_what.clear();
    m_silent = false;
    m_show(QString());
}

void WaitStatus::tick()
{
    if (m_listenOver) {
        if (m_listenOver())
            begin(m_then);
        return;
    }
    const Clock::ms silence = m_clock.now() - m_since;
    if (silence <= kSilenceShown)
        return;
    m_silent = true;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(silence).count();
    m_show(m_what + QLatin1Char(' ') + QString::fromLatin1(kNoAnswerFor).arg(seconds));
}

} // namespace romwright
