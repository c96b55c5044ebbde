// Times a full scanner detection over 16 numbered ports on pseudo-terminals:
// one simulated scanner, and either 15 silent devices (every port a
// candidate, asked all five model rows) or 15 numbers without a device.
//
//   build/dev/bin/romwright-bench-detection            # both layouts
//   build/dev/bin/romwright-bench-detection --position 1 --model wexmoor
//
// Each model row costs one 200 ms wait, however many ports hear it; the
// figure of interest is what detection costs beyond the waits (opening,
// closing, rate changes and writing to every port).

#include "app/startup/FindScanner.h"
#include "app/update/ProgramFlags.h"
#include "platform/Dialogs.h"
#include "platform/LineClock.h"
#include "platform/PosixSerialPort.h"
#include "scanner/Scanner.h"
#include "view/ViewState.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <memory>
#include <vector>

using namespace romwright;

namespace {

class CountingClock final : public LineClock {
public:
    void pause(ms duration) override
    {
        ++waits;
        paused += duration;
        LineClock::pause(duration);
    }
    int waits = 0;
    ms paused{0};
};

class NoDialogs final : public Dialogs {
public:
    void message(const QString &, const QString &, MessageIcon) override {}
    bool question(const QString &, const QString &, MessageIcon, DefaultAnswer) override { return false; }
    std::unique_ptr<OpenQuestion> ask(const QString &, const QString &, MessageIcon, DefaultAnswer,
                                      std::function<void(bool)> answered) override
    {
        answered(false);
        return nullptr;
    }
    QString inputBox(const QString &, const QString &, const QString &) override { return {}; }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> chooseScanner() override { return QStringLiteral("Halvern1450"); }
};

struct Sim {
    std::unique_ptr<QProcess> process;
    QString link;
};

// Starts romwright-sim on a link and waits until it reports ready.
bool startSim(Sim &sim, const QString &program, const QString &link, const QStringList &args)
{
    sim.link = link;
    sim.process = std::make_unique<QProcess>();
    sim.process->start(program, args + QStringList{QStringLiteral("--link"), link});
    if (!sim.process->waitForStarted(5000))
        return false;
    QByteArray out;
    while (!out.contains('\n') && sim.process->waitForReadyRead(5000))
        out += sim.process->readAllStandardOutput();
    return out.startsWith("ready ") && QFileInfo::exists(link);
}

struct Result {
    qint64 elapsedMs;
    int waits;
    qint64 pausedMs;
    QString name;
    int port;
};

Result detectOnce(const QStringList &ports)
{
    ViewState view;
    NoDialogs dialogs;
    ProgramFlags flags;
    CountingClock sleeper;
    PosixSerialPort port(PortMap::fromList(ports.join(QLatin1Char(','))));
    DetectionController detection(view, dialogs);
    Scanner scanner(sleeper, detection, flags.bProgramming);
    scanner.setComm(&port);
    qint16 commPort = 0;
    QElapsedTimer clock;
    clock.start();
    scanner.DetectScanner(commPort);
    return {clock.elapsed(), sleeper.waits, sleeper.paused.count(), scanner.Name(), commPort};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times scanner detection over 16 ports."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("position"), QStringLiteral("Port of the scanner (1-16)."),
                      QStringLiteral("n"), QStringLiteral("16")});
    parser.addOption({QStringLiteral("model"), QStringLiteral("halvern, jorlith or wexmoor."),
                      QStringLiteral("name"), QStringLiteral("halvern")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Detections per layout."), QStringLiteral("n"),
                      QStringLiteral("3")});
    parser.process(app);
    const int position =
        std::clamp(parser.value(QStringLiteral("position")).toInt(), PortMap::kFirstPort, PortMap::kLastPort);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());

    const QString sim =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("romwright-sim"));
    QTemporaryDir dir;
    std::vector<Sim> sims(PortMap::kLastPort);
    QStringList allPorts;
    QStringList scannerOnly;
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n) {
        const QString link = dir.filePath(QStringLiteral("port%1").arg(n));
        const QStringList args =
            n == position ? QStringList{QStringLiteral("--model"), parser.value(QStringLiteral("model"))}
                          : QStringList{QStringLiteral("--silent")};
        if (!startSim(sims[std::size_t(n - 1)], sim, link, args)) {
            std::fprintf(stderr, "cannot start %s for port %d\n", qPrintable(sim), n);
            return 1;
        }
        allPorts << link;
        scannerOnly << (n == position ? link : dir.filePath(QStringLiteral("none%1").arg(n)));
    }

    QTextStream out(stdout);
    const std::pair<const char *, QStringList> layouts[] = {
        {"16 ports, 15 silent devices", allPorts},
        {"16 ports, 15 without a device", scannerOnly},
    };
    for (const auto &[what, ports] : layouts) {
        for (int run = 0; run < runs; ++run) {
            const Result r = detectOnce(ports);
            const qint64 overhead = r.elapsedMs - r.pausedMs;
            out << what << ": " << r.elapsedMs << " ms, " << r.waits << " probe waits (" << r.pausedMs
                << " ms), beyond the waits " << overhead << " ms";
            out << "; found " << r.name << " on port " << r.port << Qt::endl;
        }
    }
    for (Sim &s : sims) {
        s.process->terminate();
        s.process->waitForFinished(2000);
    }
    return 0;
}
