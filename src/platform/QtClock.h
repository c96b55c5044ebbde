#pragma once
// The window's clock: QElapsedTimer for now, QTimer for ticks in the
// window's event loop. The window's thread never waits for the scanner (the
// line has a thread and a LineClock of its own); a sleep here only blocks
// the thread until wake() or its deadline, as any clock's must.

#include "platform/Clock.h"

#include <QElapsedTimer>
#include <condition_variable>
#include <memory>
#include <mutex>

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
    QElapsedTimer m_elapsed;
    std::mutex m_mutex; // guards m_woken
    std::condition_variable m_wakeUp;
    bool m_woken = false;
};

} // namespace romwright
