#include "app/console/MultiScannerRun.h"

#include "app/ExitStatus.h"
#include "app/FrontEnds.h"
#include "app/common/FindScanner.h"
#include "app/common/PortPermissionNotice.h"
#include "app/console/ConsoleDialogs.h"
#include "app/console/ConsoleReport.h"
#include "app/console/ConsoleView.h"
#include "app/console/MultiScannerPrinter.h"
#include "image/FileOpen.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "platform/QtClock.h"
#include "platform/RecordingSerialPort.h"
#include "platform/SerialPort.h"
#include "platform/TerminationSignals.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/Scanner.h"
#include "view/ProgramFlags.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <deque>
#include <memory>
#include <optional>

namespace romwright {

namespace {

using std::chrono::milliseconds;

// The longest an update goes without a word is the erase, bounded at 60 s;
// a child silent for five times that hangs, and is stopped. A child waiting
// at its power-cycle prompt waits for a person, as long as it takes.
constexpr milliseconds kSilenceBound{300000};
// How long a child told to end has to close its port before it is killed.
constexpr milliseconds kEndBound{10000};

// A scanner to update: its port and, when known, its model.
struct Target {
    int port = 0;
    QString model;
    bool answered = true; // false: the search found nothing on this port
};

milliseconds scaled(milliseconds bound, double factor)
{
    return milliseconds(static_cast<milliseconds::rep>(static_cast<double>(bound.count()) * factor));
}

class SeveralScanners {
public:
    SeveralScanners(const ConsoleOptions &options, double timeScale)
        : m_options(options), m_report(stdout, stderr, options.json),
          m_silenceBound(scaled(kSilenceBound, timeScale)),
          m_signals([this](int signal) { signalCaught(signal); })
    {
    }

    int run();

private:
    struct Child {
        std::size_t row = 0;
        std::unique_ptr<QProcess> process;
        QByteArray out;
        QByteArray err;
        QElapsedTimer clock;
        QTimer silence;              // no word from it for too long
        QTimer ending;               // told to end, not ended yet
        std::optional<int> reported; // the status of its result object
        QString stopped;             // why it was told to end, "" when it was not
        QJsonObject prompt;          // the power-cycle prompt it waits at
        bool running = false;
        bool killed = false; // it did not end when told to
    };

    std::optional<std::vector<FoundScanner>> search();
    std::vector<Target> targets();
    void start(Child &child, const Target &target);
    void readOutput(Child &child);
    void readErrors(Child &child, bool all);
    void handleLine(Child &child, const QByteArray &line);
    void ended(Child &child, const QString &failure);
    void nextPrompt();
    void answerPrompt();
    void signalCaught(int signal);
    void endChild(Child &child, const QString &why, int signal);
    void changed(const Child &child);
    int finish();

    const ConsoleOptions &m_options;
    ConsoleReport m_report;
    milliseconds m_silenceBound;
    QtClock m_clock;
    TerminationSignals m_signals;
    int m_signal = 0;
    bool m_searching = false;

    std::vector<ScannerRow> m_rows;
    std::unique_ptr<MultiScannerPrinter> m_printer; // people only; JSON goes through m_report
    std::vector<std::unique_ptr<Child>> m_children;
    int m_running = 0;
    QEventLoop m_loop;
    QStringList m_warnings; // said once, however many children say them

    // One prompt at a time: Enter goes to the child that has been named.
    std::deque<Child *> m_prompts;
    Child *m_prompted = nullptr;
    std::unique_ptr<StandardInput> m_input;
    QByteArray m_inputBuffer;
    bool m_inputEnded = false;
    const bool m_inputTerminal = isTerminal(stdin);
};

// Detection as start-up runs it, once for all ports; every port whose scanner
// answers counts. Nothing when the chooser ended the program.
std::optional<std::vector<FoundScanner>> SeveralScanners::search()
{
    ConsoleView view(stdout);
    ConsoleDialogs dialogs(stdout, stdin, m_options.yes);
    view.report = dialogs.report = &m_report;
    if (!m_options.model.isEmpty())
        dialogs.setChooserAnswer(parseChooserAnswer(m_options.model).model);
    ProgramFlags flags;
    std::unique_ptr<SerialPort> port = makeSystemSerialPort(PortMap::fromEnvironment());
    // The search's bytes go to the trace itself, each scanner's update to its own.
    PortTranscript transcript(m_clock);
    if (QString why; !m_options.trace.isEmpty()) {
        if (transcript.traceTo(m_options.trace, &why))
            port = std::make_unique<RecordingSerialPort>(std::move(port), transcript);
        else
            m_report.warning(QStringLiteral("romwright: cannot write the trace %1: %2")
                                 .arg(displayFileName(m_options.trace), why));
    }
    DetectionController shown(view, dialogs);
    Scanner scanner(m_clock, shown, flags);
    scanner.setComm(port.get());
    qint16 found = 0;
    m_searching = true;
    const Detection detection = scanner.DetectScanner(found);
    m_searching = false;
    if (detection == Detection::EndProgram)
        return std::nullopt;
    if (detection == Detection::NotFound) {
        // "Compatibilty Mode" is a way of not finding one, worth naming.
        const QString notFound = QStringLiteral("Scanner Not Found");
        m_report.scannerNotFound(scanner.Name() == notFound
                                     ? notFound
                                     : notFound + QStringLiteral(" (") + scanner.Name() + QLatin1Char(')'));
        if (!scanner.heldPorts().empty())
            m_report.error(portsInUseText(scanner.heldPorts()));
        PortPermissionNotice().show(dialogs, scanner.refusedPorts());
        return std::vector<FoundScanner>();
    }
    return scanner.foundScanners();
}

// The ports to update, with the model each scanner was found to be when the
// ports were searched: without --file each gets the newest firmware for its
// own model, and a file named is checked against it, so without --model a
// list is searched like --port all.
std::vector<Target> SeveralScanners::targets()
{
    std::vector<Target> targets;
    if (!m_options.allPorts && !m_options.model.isEmpty()) {
        for (const int port : m_options.ports)
            targets.push_back({port, m_options.model});
        return targets;
    }
    const std::optional<std::vector<FoundScanner>> found = search();
    if (!found) {
        m_report.error(QStringLiteral("ended in the scanner chooser"));
        return targets;
    }
    if (m_options.allPorts) {
        for (const FoundScanner &scanner : *found) {
            m_report.scannerFound(scanner.name, scanner.port);
            targets.push_back({scanner.port, scanner.name});
        }
        return targets;
    }
    for (const int port : m_options.ports) {
        const auto it = std::find_if(found->begin(), found->end(),
                                     [port](const FoundScanner &scanner) { return scanner.port == port; });
        if (it != found->end())
            m_report.scannerFound(it->name, port);
        targets.push_back({port, it != found->end() ? it->name : QString(), it != found->end()});
    }
    return targets;
}

void SeveralScanners::start(Child &child, const Target &target)
{
    QStringList arguments = {QStringLiteral("--console"), QStringLiteral("--json"), QStringLiteral("--port"),
                             QString::number(target.port)};
    if (!m_options.file.isEmpty())
        arguments << QStringLiteral("--file") << m_options.file;
    if (m_options.barCodeProcessor)
        arguments << QStringLiteral("--processor") << QStringLiteral("barcode");
    if (!target.model.isEmpty())
        arguments << QStringLiteral("--model") << target.model;
    if (m_options.yes)
        arguments << QStringLiteral("--yes");
    if (m_options.force)
        arguments << QStringLiteral("--force");
    if (!m_options.trace.isEmpty())
        arguments << QStringLiteral("--trace") << tracePathForPort(m_options.trace, target.port);

    child.process = std::make_unique<QProcess>();
    QProcess &process = *child.process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(arguments);
    // A terminal named for this run has its number in the child too.
    if (const QString ports = PortMap::runList(); !ports.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(PortMap::kPortsVariable), ports);
        process.setProcessEnvironment(environment);
    }
    startInOwnGroup(process);
    child.silence.setSingleShot(true);
    child.silence.setInterval(m_silenceBound);
    QObject::connect(&child.silence, &QTimer::timeout, [this, &child] {
        endChild(
            child,
            QStringLiteral("no word from its update for %1 s: stopped").arg(m_silenceBound.count() / 1000),
            SIGTERM);
    });
    child.ending.setSingleShot(true);
    child.ending.setInterval(kEndBound);
    QObject::connect(&child.ending, &QTimer::timeout, [&child] {
        child.killed = true;
        child.process->kill();
    });
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [this, &child] { readOutput(child); });
    QObject::connect(&process, &QProcess::readyReadStandardError,
                     [this, &child] { readErrors(child, false); });
    QObject::connect(
        &process, &QProcess::finished, [this, &child](int exitCode, QProcess::ExitStatus status) {
            QString failure;
            if (child.killed)
                failure = QStringLiteral("its process did not end within %1 s and was killed")
                              .arg(kEndBound.count() / 1000);
            else if (status == QProcess::CrashExit)
                failure = QStringLiteral("its process ended without a result (it crashed)");
            else if (!child.reported)
                failure = QStringLiteral("its process ended with status %1 and no result").arg(exitCode);
            else if (exitCode != 0 && *child.reported == 0)
                failure = QStringLiteral("its process ended with status %1").arg(exitCode);
            ended(child, failure);
        });
    QObject::connect(&process, &QProcess::errorOccurred, [this, &child](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(child, QStringLiteral("its process did not start: %1").arg(child.process->errorString()));
    });

    child.running = true;
    ++m_running;
    child.clock.start();
    child.silence.start();
    process.start();
    // With --yes no child reads its standard input.
    if (m_options.yes)
        process.closeWriteChannel();
}

void SeveralScanners::readOutput(Child &child)
{
    child.out += child.process->readAllStandardOutput();
    if (child.prompt.isEmpty() && child.running)
        child.silence.start();
    qsizetype end = 0;
    while ((end = child.out.indexOf('\n')) >= 0) {
        const QByteArray line = child.out.left(end);
        child.out.remove(0, end + 1);
        handleLine(child, line);
    }
}

// Only a sanitizer or the toolkit writes there in JSON mode; its lines are
// passed on with the port, whole.
void SeveralScanners::readErrors(Child &child, bool all)
{
    child.err += child.process->readAllStandardError();
    if (all && !child.err.isEmpty() && !child.err.endsWith('\n'))
        child.err += '\n';
    qsizetype end = 0;
    while ((end = child.err.indexOf('\n')) >= 0) {
        const QString text = QString::fromLocal8Bit(child.err.left(end));
        child.err.remove(0, end + 1);
        const int port = m_rows[child.row].port;
        if (m_printer)
            m_printer->note(QStringLiteral("port %1: %2").arg(port).arg(text), true);
        else
            std::fprintf(stderr, "port %d: %s\n", port, qPrintable(text));
    }
}

void SeveralScanners::handleLine(Child &child, const QByteArray &line)
{
    ScannerRow &row = m_rows[child.row];
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isObject()) {
        const QString text = QString::fromLocal8Bit(line).trimmed();
        if (text.isEmpty())
            return;
        if (m_printer)
            m_printer->note(QStringLiteral("port %1: %2").arg(row.port).arg(text), true);
        m_report.event({{QStringLiteral("event"), QStringLiteral("warning")},
                        {QStringLiteral("port"), row.port},
                        {QStringLiteral("text"), text}});
        return;
    }
    QJsonObject object = document.object();
    object.insert(QStringLiteral("port"), row.port);
    const QString event = object.value(QLatin1String("event")).toString();
    const QString text = object.value(QLatin1String("text")).toString();
    bool forward = true;
    // The child names the step of its update on every event from the request on.
    const QString phase = object.value(QLatin1String("phase")).toString();
    if (!phase.isEmpty() && phase != row.phase && event != QLatin1String("progress")) {
        row.phase = phase;
        row.percent = -1;
    }
    if (event == QLatin1String("progress")) {
        if (!phase.isEmpty())
            row.phase = phase;
        const qint64 sent = object.value(QLatin1String("sent")).toInteger();
        const qint64 total = object.value(QLatin1String("total")).toInteger();
        const qint64 bytes = object.value(QLatin1String("bytes")).toInteger();
        const qint64 bytesTotal = object.value(QLatin1String("bytesTotal")).toInteger();
        const qint64 ms = object.value(QLatin1String("ms")).toInteger();
        row.percent = total > 0 ? int(100 * sent / total) : 0;
        row.rate = ms > 0 ? bytes * 1000 / ms : 0;
        row.secondsLeft = row.rate > 0 ? (bytesTotal - bytes + row.rate - 1) / row.rate : 0;
    } else if (event == QLatin1String("scanner") && object.value(QLatin1String("found")).toBool()) {
        row.model = object.value(QLatin1String("model")).toString();
    } else if (event == QLatin1String("firmware")) {
        row.file = object.value(QLatin1String("file")).toString();
    } else if (event == QLatin1String("message")) {
        row.notes << object.value(QLatin1String("title")).toString() + QStringLiteral(": ") + text;
    } else if (event == QLatin1String("error")) {
        row.notes << text;
    } else if (event == QLatin1String("warning")) {
        if (m_printer && !m_warnings.contains(text)) {
            m_warnings << text;
            m_printer->note(QStringLiteral("romwright: ") + text, true);
        }
    } else if (event == QLatin1String("prompt")) {
        row.phase = QStringLiteral("power-cycle");
        row.percent = -1;
        if (object.value(QLatin1String("waiting")).toBool()) {
            // Said when its turn comes, so that the line a script answers
            // with goes to the port the last prompt named.
            forward = !child.running;
            if (child.running) {
                child.prompt = object;
                child.silence.stop();
                m_prompts.push_back(&child);
            }
        } else if (m_printer) {
            m_printer->note(QStringLiteral("port %1: %2: %3 (--yes: going on)")
                                .arg(row.port)
                                .arg(object.value(QLatin1String("title")).toString(), text),
                            false);
        }
    } else if (event == QLatin1String("result")) {
        child.reported = object.value(QLatin1String("status")).toInt(kExitFailed);
        // Why it failed and where, for the whole run's result.
        for (const char *key : {"reason", "phase", "block", "address", "awaited", "arrived", "portError"})
            if (object.contains(QLatin1String(key)) && !object.value(QLatin1String("completed")).toBool())
                row.failure.insert(QLatin1String(key), object.value(QLatin1String(key)));
    }
    if (forward)
        m_report.event(object);
    changed(child);
    nextPrompt();
}

void SeveralScanners::changed(const Child &child)
{
    if (m_printer)
        m_printer->changed(child.row);
}

void SeveralScanners::ended(Child &child, const QString &failure)
{
    if (!child.running)
        return;
    child.running = false;
    child.silence.stop();
    child.ending.stop();
    // What it wrote last, and a last line without its line break.
    child.out += child.process->readAllStandardOutput();
    if (!child.out.isEmpty())
        child.out += '\n';
    readOutput(child);
    readErrors(child, true);

    if (m_prompted == &child) {
        m_prompted = nullptr;
        if (m_printer)
            m_printer->prompt(0);
    }
    std::erase(m_prompts, &child);
    ScannerRow &row = m_rows[child.row];
    row.seconds = double(child.clock.elapsed()) / 1000.0;
    if (!child.stopped.isEmpty())
        row.notes << child.stopped;
    if (!failure.isEmpty())
        row.notes << failure;
    row.parentFailed = !child.stopped.isEmpty() || !failure.isEmpty();
    if (child.reported == kExitCompleted && failure.isEmpty())
        row.state = ScannerRow::State::Completed;
    else if (m_signal != 0 && child.stopped.isEmpty())
        row.state = ScannerRow::State::Interrupted;
    else
        row.state = ScannerRow::State::Failed;
    changed(child);
    if (--m_running == 0)
        m_loop.quit();
    nextPrompt();
}

void SeveralScanners::nextPrompt()
{
    // After a signal every child is ending; none is asked for anything more.
    if (m_prompted || m_prompts.empty() || m_signal != 0)
        return;
    m_prompted = m_prompts.front();
    m_prompts.pop_front();
    m_report.event(m_prompted->prompt);
    if (m_printer)
        m_printer->prompt(m_rows[m_prompted->row].port);
    answerPrompt();
}

// The prompted child gets the line standard input holds, or the end of its
// own input once there is none left: it then says so and stops.
void SeveralScanners::answerPrompt()
{
    if (!m_prompted) {
        if (m_input)
            m_input->setEnabled(false);
        return;
    }
    Child &child = *m_prompted;
    const qsizetype end = m_inputBuffer.indexOf('\n');
    if (end < 0 && !m_inputEnded) {
        // Read when a person has answered; whatever is typed ahead of a
        // prompt stays in the terminal until one comes.
        if (!m_input) {
            m_input = std::make_unique<StandardInput>();
            QObject::connect(m_input.get(), &StandardInput::bytes, [this](const QByteArray &bytes) {
                m_inputBuffer += bytes;
                answerPrompt();
            });
            QObject::connect(m_input.get(), &StandardInput::ended, [this] {
                m_inputEnded = true;
                answerPrompt();
            });
        }
        m_input->setEnabled(true);
        return;
    }
    if (end >= 0) {
        m_inputBuffer.remove(0, end + 1);
        child.process->write("\n");
    } else {
        child.process->closeWriteChannel();
    }
    m_prompted = nullptr;
    child.prompt = {};
    child.silence.start();
    ScannerRow &row = m_rows[child.row];
    row.phase = QStringLiteral("restarting");
    if (m_printer)
        m_printer->answered(end >= 0 && m_inputTerminal);
    changed(child);
    nextPrompt();
    if (!m_prompted && m_input)
        m_input->setEnabled(false);
}

void SeveralScanners::signalCaught(int signal)
{
    m_signal = signal;
    if (m_searching)
        m_clock.endWaits();
    // Each child ends as the single console does on the signal: the port is closed.
    for (const std::unique_ptr<Child> &child : m_children)
        endChild(*child, QString(), signal);
}

void SeveralScanners::endChild(Child &child, const QString &why, int signal)
{
    if (!child.running)
        return;
    child.stopped = why;
    child.silence.stop();
    sendSignal(*child.process, signal);
    child.ending.start();
}

int SeveralScanners::finish()
{
    int status = kExitCompleted;
    for (const ScannerRow &row : m_rows)
        if (row.state != ScannerRow::State::Completed)
            status = kExitFailed;
    if (m_rows.empty())
        status = kExitFailed;
    if (m_printer && !m_rows.empty())
        m_printer->finish();
    if (m_signal != 0 && status != kExitCompleted) {
        m_report.error(QString::fromLatin1(kSeveralInterrupted));
        status = TerminationSignals::exitStatus(m_signal);
    }
    if (m_report.json()) {
        QJsonArray scanners;
        for (const ScannerRow &row : m_rows) {
            QJsonObject scanner{{QStringLiteral("port"), row.port},
                                {QStringLiteral("model"), row.model},
                                {QStringLiteral("file"), row.file},
                                {QStringLiteral("result"), QLatin1String(resultName(row.state))},
                                {QStringLiteral("seconds"), row.seconds}};
            if (row.state != ScannerRow::State::Completed) {
                // The parent's own word (no answer, killed, no result) comes
                // last and outweighs what the child said before it ended.
                QJsonObject error = row.failure;
                if (!row.notes.isEmpty() && (!error.contains(QLatin1String("reason")) || row.parentFailed))
                    error.insert(QStringLiteral("reason"), row.notes.back());
                scanner.insert(QStringLiteral("error"), error);
            }
            scanners.append(scanner);
        }
        m_report.event({{QStringLiteral("event"), QStringLiteral("result")},
                        {QStringLiteral("status"), status},
                        {QStringLiteral("completed"), status == kExitCompleted},
                        {QStringLiteral("scanners"), scanners}});
    }
    return status;
}

int SeveralScanners::run()
{
    // The children are given the name as a string; bytes that are not UTF-8
    // would not reach them as they are, and another file could be opened.
    if (!m_options.file.isEmpty() && encodeFileName(m_options.file) != m_options.file.toUtf8()) {
        m_report.error(QStringLiteral("the name of %1 is not UTF-8: rename the file to update several "
                                      "scanners with it")
                           .arg(displayFileName(m_options.file)));
        m_report.result(kExitUsage);
        return kExitUsage;
    }
    const std::vector<Target> chosen = targets();
    if (m_signal != 0)
        return finish();
    for (const Target &target : chosen) {
        ScannerRow row;
        row.port = target.port;
        row.model = target.model;
        if (!m_options.file.isEmpty())
            row.file = displayFileName(fileNameOf(m_options.file));
        if (!target.answered) {
            row.state = ScannerRow::State::Failed;
            row.notes << QStringLiteral("no scanner answered on port %1").arg(target.port);
            row.parentFailed = true;
        }
        m_rows.push_back(row);
    }
    if (!m_report.json() && !m_rows.empty())
        m_printer = std::make_unique<MultiScannerPrinter>(stdout, stderr, isTerminal(stdout), m_rows);
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (!chosen[i].answered)
            continue;
        m_children.push_back(std::make_unique<Child>());
        m_children.back()->row = i;
        start(*m_children.back(), chosen[i]);
    }
    if (m_running > 0)
        m_loop.exec();
    return finish();
}

} // namespace

int runSeveralScanners(const ConsoleOptions &options)
{
    const std::optional<double> timeScale = testTimeScale();
    if (!timeScale) {
        ConsoleReport report(stdout, stderr, options.json);
        report.error(testTimeScaleRefusal());
        report.result(kExitUsage);
        return kExitUsage;
    }
    return SeveralScanners(options, *timeScale).run();
}

} // namespace romwright
