#pragma once
// A Scanner on real serial lines: pseudo-terminals served by romwright-sim,
// numbered through a port map, on the real clock.

#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "scanner/Scanner.h"
#include "support/ScriptedDialogs.h"
#include "support/SimProcess.h"
#include "view/ProgramFlags.h"
#include "view/ViewState.h"

namespace romwright::test {

// The real clock, counting the pauses it is asked for.
class CountingClock final : public QtClock {
public:
    void pause(ms duration) override
    {
        ++pauses;
        QtClock::pause(duration);
        if (onPause)
            onPause();
    }
    int pauses = 0;
    std::function<void()> onPause;
};

struct PtyRig {
    explicit PtyRig(const QString &ports)
        : port(std::make_unique<QtSerialPort>(PortMap::fromList(ports))), scanner(clock, dialogs, view, flags)
    {
        scanner.setComm(port.get());
    }

    CountingClock clock;
    ViewState view;
    ScriptedDialogs dialogs;
    ProgramFlags flags;
    std::unique_ptr<QtSerialPort> port;
    Scanner scanner;
};

// The bytes the simulator heard, in order.
inline std::string heardBytes(const QString &transcript)
{
    std::string heard;
    for (const QString &line : transcript.split(QLatin1Char('\n'))) {
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        if (parts.size() >= 4 && parts[1] == QLatin1String("in") && parts[3].startsWith(QLatin1Char('\'')))
            heard += parts[3].at(1).toLatin1();
    }
    return heard;
}

// The bytes the simulator heard, each run at one rate as "RATE:bytes", runs
// separated by a space: "38400:V\r\nV\r\n 19200:V\r\n".
inline std::string heardAtRates(const QString &transcript)
{
    std::string heard;
    QString rate;
    for (const QString &line : transcript.split(QLatin1Char('\n'))) {
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        if (parts.size() < 4 || parts[1] != QLatin1String("in"))
            continue;
        if (parts.back() != rate) {
            rate = parts.back();
            heard += (heard.empty() ? "" : " ") + rate.toStdString() + ':';
        }
        heard += char(parts[2].toUInt(nullptr, 16));
    }
    return heard;
}

} // namespace romwright::test
