#pragma once
// The real clock: QElapsedTimer for now, QTimer for ticks, a nested event
// loop for sleeps, so the window paints and the timers tick while a wait runs.

#include "platform/Clock.h"

#include <QElapsedTimer>
#include <memory>
#include <vector>

namespace romwright {

class QtClock : public Clock {
public:
    QtClock();
    ~QtClock() override;
    ms now() const override;
    void pause(ms duration) override;
    std::unique_ptr<ClockTimer> timer(bool periodic, std::function<void()> onTick) override;
    void sleep(std::optional<ms> deadline) override;
    void wake() override;

private:
    // A loop and its bound, made once for each depth of nested sleeps and
    // kept: the firmware pass sleeps once per record, and building them for
    // every sleep put their set-up and tear-down between an acknowledgement
    // and the next record.
    struct Sleeper;

    QElapsedTimer m_elapsed;
    std::vector<std::unique_ptr<Sleeper>> m_sleepers; // by depth
    std::size_t m_depth = 0;                          // sleeps running now
};

} // namespace romwright
