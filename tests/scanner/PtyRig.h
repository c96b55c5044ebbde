#pragma once
// A Scanner on real serial lines: pseudo-terminals served by romwright-sim,
// numbered through a port map, with the program's own blocking pauses.

#include "view/ProgramFlags.h"
#include "platform/QtSerialPort.h"
#include "platform/Sleeper.h"
#include "view/ViewState.h"
#include "scanner/Scanner.h"
#include "support/ScriptedDialogs.h"
#include "support/SimProcess.h"

#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace romwright::test {

// Sleeps for real and counts the pauses.
class CountingSleeper final : public Sleeper {
public:
    void sleep(std::chrono::milliseconds duration) override
    {
        ++count;
        m_real.sleep(duration);
    }
    int count = 0;

private:
    BlockingSleeper m_real;
};

struct PtyRig {
    ViewState view;
    ScriptedDialogs dialogs;
    ProgramFlags flags;
    CountingSleeper sleeper;
    std::unique_ptr<QtSerialPort> port;
    Scanner scanner;

    explicit PtyRig(const QString &ports, ScannerTimings timings = {})
        : port(std::make_unique<QtSerialPort>(PortMap::fromList(ports))),
          scanner(sleeper, dialogs, view, flags, timings)
    {
        scanner.setComm(port.get());
    }

    // Opens port n at 38400 as the window does once a port is chosen.
    bool openAt(int n, const QString &settings = QStringLiteral("38400,n,8,1"))
    {
        port->setCommPort(n);
        port->setSettings(settings);
        port->setInputLen(0);
        return port->setPortOpen(true) == CommError::None;
    }
};

// Runs the event loop until done() holds or the bound runs out; done() is
// asked every 10 ms.
inline bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds bound)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(bound, &loop, &QEventLoop::quit);
    poll.start(10);
    if (!done())
        loop.exec();
    return done();
}

// The bytes the simulator heard, with their times in seconds.
struct Heard {
    double at;
    char byte;
};
inline std::vector<Heard> heardBytes(const QString &transcript)
{
    std::vector<Heard> result;
    for (const QString &line : transcript.split(QLatin1Char('\n'))) {
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        if (parts.size() >= 4 && parts[1] == QLatin1String("in") && parts[3].startsWith(QLatin1Char('\'')))
            result.push_back({parts[0].toDouble(), parts[3].at(1).toLatin1()});
    }
    return result;
}

} // namespace romwright::test
