#pragma once
// The status line's account of a wait: what the program waits for and, once
// a second has passed, for how long ("Searching the serial ports… 3 s").
// Counted by a clock timer that ticks inside the wait's own sleep, so the
// line moves while the wait runs and costs nothing in between.

#include "platform/Clock.h"

#include <QString>

#include <functional>
#include <memory>

namespace romwright {

inline constexpr const char *kSearchingPorts = "Searching the serial ports…";
inline constexpr const char *kWaitingForBootSoftware = "Waiting for the scanner's boot software…";
inline constexpr const char *kErasingFlash = "Waiting for the scanner to erase its flash…";
inline constexpr const char *kSendingFirmware = "Sending the firmware…";

class WaitStatus {
public:
    WaitStatus(Clock &clock, std::function<void(const QString &)> show);
    ~WaitStatus();

    // A new wait; the count starts again at 0.
    void begin(const QString &what);
    // The line goes blank.
    void end();
    bool active() const { return !m_what.isEmpty(); }

private:
    void tick();

    Clock &m_clock;
    std::function<void(const QString &)> m_show;
    std::unique_ptr<ClockTimer> m_timer;
    QString m_what;
    Clock::ms m_since{0};
};

} // namespace romwright
