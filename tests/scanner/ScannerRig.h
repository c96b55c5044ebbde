#pragma once
// A Scanner on a manual clock and a scripted port: detection, the command
// queue and the receive handler without a line.

#include "app/startup/FindScanner.h"
#include "app/update/ProgramFlags.h"
#include "platform/ManualClock.h"
#include "scanner/Scanner.h"
#include "support/FakePort.h"
#include "support/ScriptedDialogs.h"
#include "view/ViewState.h"

namespace romwright::test {

// A running scanner: its identity to "V" CR LF at 38400, every other
// command echoed with a line end, except the muted ones.
inline FakeDevice runningScanner(QByteArray identity, QList<QByteArray> muted = {})
{
    FakeDevice d;
    d.reply = [identity, muted](const QByteArray &written, const QString &settings) -> QByteArray {
        if (written == "V\r\n")
            return settings.startsWith(QLatin1String("38400")) ? identity : QByteArray();
        return muted.contains(written) ? QByteArray() : written + "\r\n";
    };
    return d;
}

// Notes whether the hourglass was up while the chooser was shown.
class ChooserDialogs : public ScriptedDialogs {
public:
    explicit ChooserDialogs(const MainView &view) : m_view(view) {}
    std::optional<QString> chooseScanner() override
    {
        busyWhileShown.push_back(m_view.isBusy());
        return ScriptedDialogs::chooseScanner();
    }
    std::vector<bool> busyWhileShown;

private:
    const MainView &m_view;
};

struct ScannerRig {
    explicit ScannerRig(ScannerTimings timings = {}) : scanner(clock, detection, flags.bProgramming, timings)
    {
    }

    Detection detect()
    {
        scanner.setComm(&port);
        commPort = 0;
        return scanner.DetectScanner(commPort);
    }

    // A running scanner on port 1, detected, its port open again and the log cleared.
    void attach(QByteArray identity, QList<QByteArray> muted = {})
    {
        port.devices = {{1, runningScanner(std::move(identity), std::move(muted))}};
        detect();
        port.setCommPort(1);
        port.setSettings(QStringLiteral("9600,n,8,1"));
        port.setPortOpen(true);
        port.log.clear();
        port.writes.clear();
        port.writeTimes.clear();
        start = clock.now();
    }

    ManualClock clock;
    ViewState view;
    ChooserDialogs dialogs{view};
    DetectionController detection{view, dialogs};
    ProgramFlags flags;
    FakePort port{&clock};
    Scanner scanner;
    qint16 commPort = 0;
    Clock::ms start{0};
};

} // namespace romwright::test
