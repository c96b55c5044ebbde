#pragma once
// A Scanner on a scripted port whose device answers its identity at 38400
// and echoes every other command with a line end, except the muted ones.

#include "FakeSerialPort.h"
#include "RecordingSleeper.h"
#include "view/ProgramFlags.h"
#include "view/ViewState.h"
#include "scanner/Scanner.h"
#include "support/ScriptedDialogs.h"

namespace romwright::test {

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

struct ScannerRig {
    ViewState view;
    ScriptedDialogs dialogs;
    ProgramFlags flags;
    RecordingSleeper sleeper;
    FakeSerialPort port;
    Scanner scanner;

    explicit ScannerRig(FakeDevice device = runningScanner("HLV 1450OK\r\n"), ScannerTimings timings = {})
        : scanner(sleeper, dialogs, view, flags, timings)
    {
        port.devices = {{1, std::move(device)}};
        scanner.setComm(&port);
        reopen();
    }

    // Detects the scanner so that Name is set, then opens its port again.
    void detect()
    {
        qint16 commPort = 0;
        scanner.DetectScanner(commPort);
        reopen();
        sleeper.pauses.clear();
    }

    void reopen()
    {
        port.setCommPort(1);
        port.setSettings(QStringLiteral("9600,n,8,1"));
        port.setPortOpen(true);
        port.log.clear();
    }
};

} // namespace romwright::test
