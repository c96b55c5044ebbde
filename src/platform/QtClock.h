#pragma once
// The real clock: QElapsedTimer for now, QTimer for ticks, a nested event
// loop for sleeps, so the window paints and the timers tick while a wait runs.

#include "platform/Clock.h"

#include <QElapsedTimer>
#include <vector>

class QEventLoop;

namespace romwright {

class QtClock : public Clock {
public:
    QtClock();
    ms now() const override;
    void pause(ms duration) override;
    std::unique_ptr<ClockTimer> timer(bool periodic, std::function<void()> onTick) override;
    void sleep(std::optional<ms> deadline) override;
    void wake() override;

private:
    QElapsedTimer m_elapsed;
    std::vector<QEventLoop *> m_sleeping; // innermost last
};

} // namespace romwright
