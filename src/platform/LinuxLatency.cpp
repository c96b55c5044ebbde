// The latency knobs of a Linux serial driver: the low-latency flag through
// TIOCGSERIAL/TIOCSSERIAL and a USB adapter's latency timer in sysfs.
#include "platform/LineLatency.h"

#include <QFile>

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace romwright {

namespace {

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

} // namespace

LatencyAccess &LatencyAccess::system()
{
    static LinuxLatency access;
    return access;
}

} // namespace romwright
