#pragma once
// Low latency on the line. A USB serial adapter holds the bytes it receives
// until its latency timer runs out (16 ms by default on FTDI chips under
// Linux) before passing them on, which adds that much to every acknowledged
// record of a firmware pass. When a port opens the driver is asked for low
// latency and, where the adapter has a latency timer, for 1 ms; what was
// changed is put back when the port closes. A device that offers neither (a
// pseudo-terminal, a built-in port) is left as it is, without a word.

#include <QString>

#include <optional>

namespace romwright {

// The driver's two knobs. Everything fails softly: nullopt or false means the
// device does not offer the knob, or this user may not turn it.
class LatencyAccess {
public:
    virtual ~LatencyAccess() = default;
    // The driver's low-latency flag (Linux: ASYNC_LOW_LATENCY through
    // TIOCGSERIAL/TIOCSSERIAL) on an open descriptor.
    virtual std::optional<bool> lowLatency(int fd) = 0;
    virtual bool setLowLatency(int fd, bool on) = 0;
    // The adapter's latency timer in milliseconds (Linux:
    // /sys/class/tty/<name>/device/latency_timer), by terminal name ("ttyUSB0").
    virtual std::optional<int> latencyTimer(const QString &tty) = 0;
    virtual bool setLatencyTimer(const QString &tty, int ms) = 0;

    // The real knobs of this system (LinuxLatency.cpp); elsewhere a device
    // without either (NoLatencyKnobs.cpp).
    static LatencyAccess &system();
};

class LineLatency {
public:
    static constexpr int kTimerMs = 1;

    explicit LineLatency(LatencyAccess &access) : m_access(access) {}
    ~LineLatency() = default;
    LineLatency(const LineLatency &) = delete;
    LineLatency &operator=(const LineLatency &) = delete;

    // On a port just opened: fd its descriptor, device the path it was opened by.
    void lower(int fd, const QString &device);
    // Before the port closes, with the same descriptor still open.
    void restore(int fd);

private:
    LatencyAccess &m_access;
    bool m_flagSet = false;
    QString m_tty;                 // whose timer was changed
    std::optional<int> m_timerWas; // and what it held
};

} // namespace romwright
