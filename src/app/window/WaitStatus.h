#pragma once
// The status line's account of a wait: what the program waits for and, once
// the scanner has been silent for longer than it should be, for how long
// ("Sending the firmware… no answer for 3 s"). Counted by a clock timer that
// ticks inside the wait's own sleep, so the line moves while the wait runs
// and costs nothing in between.

#include "platform/Clock.h"

#include <QString>

#include <functional>
#include <memory>

namespace romwright {

inline constexpr const char *kSearchingPorts = "Searching the serial ports…";
inline constexpr const char *kWaitingForBootSoftware = "Waiting for the scanner's boot software…";
// After a search that found nothing: the port is listened to all the same.
inline constexpr const char *kListeningForBootSoftware =
    "No scanner answered the search: listening for one in its boot software…";
inline constexpr const char *kInstallingBootSoftware = "Installing new boot software…";
inline constexpr const char *kErasingFlash = "Waiting for the scanner to erase its flash…";
inline constexpr const char *kSendingFirmware = "Sending the firmware…";
inline constexpr const char *kWaitingForRestart = "Waiting for the scanner to restart…";
// The update's first wait: a scanner with the new boot software keeps quiet
// there, so its silence is no news.
inline constexpr const char *kListeningForOldBootSoftware =
    "Listening for old boot software that needs replacing…";
// Appended once the scanner has been silent for longer than kSilenceShown.
inline constexpr const char *kNoAnswerFor = "no answer for %1 s";

class WaitStatus {
public:
    // Silence up to this long is a scanner at work, not one that is gone.
    static constexpr Clock::ms kSilenceShown{2000};

    WaitStatus(Clock &clock, std::function<void(const QString &)> show);
    ~WaitStatus();

    // A new wait; the silence is counted from now.
    void begin(const QString &what);
    // A listen for what may well not come (what), with no count of the
    // silence; once over() says it has ended, the wait for an answer that is
    // due (then) begins. over() is asked with the line's ticks.
    void listen(const QString &what, std::function<bool()> over, const QString &then);
    // Something came from the scanner: the silence starts again.
    void heard();
    // The line goes blank.
    void end();
    bool active() const { return !m_what.isEmpty(); }

private:
    void tick();

    Clock &m_clock;
    std::function<void(const QString &)> m_show;
    std::unique_ptr<ClockTimer> m_timer;
    QString m_what;
    std::function<bool()> m_listenOver; // set while a listen runs
    QString m_then;
    Clock::ms m_since{0};
    bool m_silent = false; // the line says "no answer"
};

} // namespace romwright
