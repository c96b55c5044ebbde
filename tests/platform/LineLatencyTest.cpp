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
    bool flagWritable = true;
    std::optional<int> timer; // nullopt: no latency_timer
    bool timerWritable = true;
    QStringList requests;

    std::optional<bool> lowLatency(int) override { return flag; }
    bool setLowLatency(int fd, bool on) override
    {
        requests << QStringLiteral("flag %1 %2").arg(fd).arg(on ? "on" : "off");
        if (!flag || !flagWritable)
            return false;
        flag = on;
        return true;
    }
    std::optional<int> latencyTimer(const QString &) override { return timer; }
    bool setLatencyTimer(const QString &tty, int ms) override
    {
        requests << QStringLiteral("timer %1 %2").arg(tty).arg(ms);
        if (!timer || !timerWritable)
            return false;
        timer = ms;
        return true;
    }
};

} // namespace

TEST(LineLatency, LowersWhatTheDeviceOffersAndPutsItBackOnClose)
{
    struct Case {
        const char *what;
        std::optional<bool> flag;
        bool flagWritable;
        std::optional<int> timer;
        bool timerWritable;
        QStringList onOpen;
        QStringList onClose;
        std::optional<bool> flagAfter;
        std::optional<int> timerAfter;
    };
    const Case cases[] = {
        {"FTDI adapter at its defaults",
         false,
         true,
         16,
         true,
         {"flag 7 on", "timer ttyUSB0 1"},
         {"flag 7 off", "timer ttyUSB0 16"},
         false,
         16},
        {"already low: nothing to change or put back", true, true, 1, true, {}, {}, true, 1},
        {"built-in port: the flag only",
         false,
         true,
         std::nullopt,
         true,
         {"flag 7 on"},
         {"flag 7 off"},
         false,
         std::nullopt},
        {"pseudo-terminal: neither knob",
         std::nullopt,
         true,
         std::nullopt,
         true,
         {},
         {},
         std::nullopt,
         std::nullopt},
        {"refused by the driver: nothing to put back",
         false,
         false,
         16,
         false,
         {"flag 7 on", "timer ttyUSB0 1"},
         {},
         false,
         16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedLatency driver;
        driver.flag = c.flag;
        driver.flagWritable = c.flagWritable;
        driver.timer = c.timer;
        driver.timerWritable = c.timerWritable;
        LineLatency latency(driver);

        latency.lower(7, QStringLiteral("/dev/ttyUSB0"));
        EXPECT_EQ(driver.requests, c.onOpen);
        driver.requests.clear();
        latency.restore(7);
        EXPECT_EQ(driver.requests, c.onClose);
        EXPECT_EQ(driver.flag, c.flagAfter);
        EXPECT_EQ(driver.timer, c.timerAfter);
        driver.requests.clear();
        latency.restore(7); // a second close puts nothing back twice
        EXPECT_TRUE(driver.requests.isEmpty());
    }
}
