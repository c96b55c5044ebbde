// The latency requests on open and what the close puts back, against a
// scripted driver.
#include "platform/LineLatency.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace romwright;

namespace {

// A driver whose knobs exist or not, and may be read-only.
class ScriptedLatency final : public LatencyAccess {
public:
    std::optional<bool> flag; // nullopt: no such knob
    std::optional<int> timer; // nullopt: no latency_timer
    bool writable = true;
    QStringList requests;

    std::optional<bool> lowLatency(int) override { return flag; }
    bool setLowLatency(int fd, bool on) override
    {
        requests << QStringLiteral("flag %1 %2").arg(fd).arg(on ? "on" : "off");
        if (!flag || !writable)
            return false;
        flag = on;
        return true;
    }
    std::optional<int> latencyTimer(const QString &) override { return timer; }
    bool setLatencyTimer(const QString &tty, int ms) override
    {
        requests << QStringLiteral("timer %1 %2").arg(tty).arg(ms);
        if (!timer || !writable)
            return false;
        timer = ms;
        return true;
    }
};

} // namespace

TEST(LineLatency, LowersWhatTheDeviceOffersAndPutsItBackOnClose)
{
    const struct {
        const char *what;
        std::optional<bool> flag; // nullopt: no such knob
        std::optional<int> timer;
        bool writable;
        const char *onOpen, *onClose; // the requests, ";" between them
    } cases[] = {
        {"FTDI adapter at its defaults", false, 16, true, "flag 7 on;timer ttyUSB0 1",
         "flag 7 off;timer ttyUSB0 16"},
        {"already low: nothing to change or put back", true, 1, true, "", ""},
        {"built-in port: the flag only", false, std::nullopt, true, "flag 7 on", "flag 7 off"},
        {"pseudo-terminal: neither knob", std::nullopt, std::nullopt, true, "", ""},
        {"refused by the driver: nothing to put back", false, 16, false, "flag 7 on;timer ttyUSB0 1", ""},
    };
    const auto list = [](const char *requests) {
        return QString::fromLatin1(requests).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedLatency driver;
        driver.flag = c.flag;
        driver.timer = c.timer;
        driver.writable = c.writable;
        LineLatency latency(driver);

        latency.lower(7, QStringLiteral("/dev/ttyUSB0"));
        EXPECT_EQ(driver.requests, list(c.onOpen));
        driver.requests.clear();
        latency.restore(7);
        EXPECT_EQ(driver.requests, list(c.onClose));
        EXPECT_EQ(driver.flag, c.flag);
        EXPECT_EQ(driver.timer, c.timer);
        driver.requests.clear();
        latency.restore(7); // a second close puts nothing back twice
        EXPECT_TRUE(driver.requests.isEmpty());
    }
}
