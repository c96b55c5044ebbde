#include "platform/LineLatency.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace romwright {

namespace {

#ifdef Q_OS_LINUX
class LinuxLatency final : public LatencyAccess {
public:
    std::optional<bool> lowLatency(int fd) override
    {
        serial_struct s{};
        if (::ioctl(fd, TIOCGSERIAL, &s) != 0)
            return std::nullopt;
        return (s.flags & ASYNC_LOW_LATENCY) != 0;
    }
    bool setLowLatency(int fd, bool on) override
    {
        serial_struct s{};
        if (::ioctl(fd, TIOCGSERIAL, &s) != 0)
            return false;
        s.flags = on ? (s.flags | ASYNC_LOW_LATENCY) : (s.flags & ~ASYNC_LOW_LATENCY);
        return ::ioctl(fd, TIOCSSERIAL, &s) == 0;
    }
    std::optional<int> latencyTimer(const QString &tty) override
    {
        QFile file(timerPath(tty));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        bool ok = false;
        const int ms = file.readAll().trimmed().toInt(&ok);
        return ok ? std::optional<int>(ms) : std::nullopt;
    }
    bool setLatencyTimer(const QString &tty, int ms) override
    {
        QFile file(timerPath(tty));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const QByteArray text = QByteArray::number(ms) + '\n';
        return file.write(text) == text.size() && file.flush();
    }

private:
    static QString timerPath(const QString &tty)
    {
        return QStringLiteral("/sys/class/tty/%1/device/latency_timer").arg(tty);
    }
};
#endif

class NoLatencyKnobs final : public LatencyAccess {
public:
    std::optional<bool> lowLatency(int) override { return std::nullopt; }
    bool setLowLatency(int, bool) override { return false; }
    std::optional<int> latencyTimer(const QString &) override { return std::nullopt; }
    bool setLatencyTimer(const QString &, int) override { return false; }
};

} // namespace

LatencyAccess &LatencyAccess::system()
{
#ifdef Q_OS_LINUX
    static LinuxLatency access;
#else
    static NoLatencyKnobs access;
#endif
    return access;
}

void LineLatency::lower(int fd, const QString &device)
{
    m_flagSet = m_access.lowLatency(fd) == false && m_access.setLowLatency(fd, true);

    // The link a port map names ("/dev/serial/by-id/...") leads to the terminal.
    const QString resolved = QFileInfo(device).canonicalFilePath();
    m_tty = QFileInfo(resolved.isEmpty() ? device : resolved).fileName();
    m_timerWas.reset();
    if (const std::optional<int> was = m_access.latencyTimer(m_tty); was && *was != kTimerMs) {
        if (m_access.setLatencyTimer(m_tty, kTimerMs))
            m_timerWas = was;
    }
}

void LineLatency::restore(int fd)
{
    if (m_flagSet)
        m_access.setLowLatency(fd, false);
    if (m_timerWas)
        m_access.setLatencyTimer(m_tty, *m_timerWas);
    m_flagSet = false;
    m_timerWas.reset();
}

} // namespace romwright
