#include "app/console/MultiScannerRun.h"

#include "app/ExitStatus.h"
#include "app/FrontEnds.h"
#include "app/console/ChildEvents.h"
#include "app/console/ConsoleDialogs.h"
#include "app/console/ConsoleReport.h"
#include "app/console/ConsoleView.h"
#include "app/console/JsonEvents.h"
#include "app/console/MultiScannerPrinter.h"
#include "app/console/PromptQueue.h"
#include "app/console/ScannerChild.h"
#include "app/startup/FindScanner.h"
#include "app/startup/PortPermissionNotice.h"
#include "app/update/ProgramFlags.h"
#include "app/update/UpdateInputs.h"
#include "app/update/UpdateJson.h"
#include "image/FileOpen.h"
#include "platform/FileSystem.h"
#include "platform/LineClock.h"
#include "platform/PortMap.h"
#include "platform/RecordingSerialPort.h"
#include "platform/SerialPort.h"
#include "platform/TerminationSignals.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/Scanner.h"

#include <QEventLoop>
#include <QJsonArray>

#include <csignal>
#include <memory>
#include <optional>

namespace romwright {

namespace {

using std::chrono::milliseconds;

// The longest an update goes without a word is the erase, bounded at 60 s;
// a child silent for five times that hangs, and is stopped. A child waiting
// at its power-cycle prompt waits for a person, as long as it takes.
constexpr milliseconds kSilenceBound{300000};

// A scanner to update: its port and, when known, its model.
struct Target {
    int port = 0;
    QString model;
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
          m_signals([this](int signal) { signalCaught(signal); }),
          m_prompts([this](std::size_t child) { ask(child); },
                    [this](std::size_t child, bool line) { answered(child, line); })
    {
    }

    int run();

private:
    struct Child {
        std::size_t index = 0; // in m_children
        std::size_t row = 0;
        std::unique_ptr<ScannerChild> process;
        std::optional<int> reported; // the status of its result object
        QJsonObject prompt;          // the power-cycle prompt it waits at
    };

    std::optional<std::vector<FoundScanner>> search();
    std::vector<Target> targets();
    void start(std::size_t index, const Target &target);
    void handleLine(Child &child, const QByteArray &line);
    void note(const Child &child, const QString &text);
    void ended(Child &child, const QString &failure);
    void ask(std::size_t index);
    void answered(std::size_t index, bool line);
    void signalCaught(int signal);
    void changed(const Child &child);
    int finish();

    const ConsoleOptions &m_options;
    ConsoleReport m_report;
    milliseconds m_silenceBound;
    LineClock m_clock; // the search's waits
    TerminationSignals m_signals;
    int m_signal = 0;
    bool m_searching = false;

    std::vector<ScannerRow> m_rows;
    std::unique_ptr<MultiScannerPrinter> m_printer; // people only; JSON goes through m_report
    std::vector<std::unique_ptr<Child>> m_children;
    int m_running = 0;
    QEventLoop m_loop;
    QStringList m_warnings; // said once, however many children say them
    PromptQueue m_prompts;  // one at a time: Enter goes to the child that has been named
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
    Scanner scanner(m_clock, shown, flags.bProgramming);
    m_searching = true;
    UpdateInputs inputs(view);
    const FindScannerResult found = FindScanner(scanner, *port, view, inputs);
    m_searching = false;
    if (found.status == FindStatus::EndProgram)
        return std::nullopt;
    if (found.port < 1) {
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
// The ports to update, with the model named or, for --port all, the model
// each scanner was found to be when the ports were searched. Each update asks
// its scanner again before it changes anything: its answer decides the model,
// gets the newest firmware for it without --file, and is checked against a
// file named.
std::vector<Target> SeveralScanners::targets()
{
    std::vector<Target> targets;
    // Each scanner of a list is asked by its own update, with the whole
    // bound of the identity question; its answer names its model.
    if (!m_options.allPorts) {
        for (const int port : m_options.ports)
            targets.push_back({port, m_options.model});
        return targets;
    }
    const std::optional<std::vector<FoundScanner>> found = search();
    if (!found) {
        m_report.error(QStringLiteral("ended in the scanner chooser"));
        return targets;
    }
    for (const FoundScanner &scanner : *found) {
        m_report.scannerFound(scanner.name, scanner.port);
        targets.push_back({scanner.port, scanner.name});
    }
    return targets;
}

void SeveralScanners::start(std::size_t index, const Target &target)
{
    Child &child = *m_children[index];
    ConsoleOptions options = m_options;
    options.json = true;
    options.port = target.port;
    options.ports.clear();
    options.allPorts = false;
    options.model = target.model;
    if (!options.trace.isEmpty())
        options.trace = tracePathForPort(m_options.trace, target.port);
    child.process = std::make_unique<ScannerChild>(
        m_silenceBound,
        ScannerChild::Hooks{[this, &child](const QByteArray &line) { handleLine(child, line); },
                            [this, &child](const QString &line) {
                                const int port = m_rows[child.row].port;
                                if (m_printer)
                                    m_printer->note(QStringLiteral("port %1: %2").arg(port).arg(line), true);
                                else
                                    std::fprintf(stderr, "port %d: %s\n", port, qPrintable(line));
                            },
                            [this, &child](const QString &failure) { ended(child, failure); },
                            [&child] { return child.reported; }});
    ++m_running;
    // With --yes no child reads its standard input.
    child.process->start(consoleArguments(options), m_options.yes);
}

void SeveralScanners::handleLine(Child &child, const QByteArray &line)
{
    const ChildLine read = readChildLine(line, m_rows[child.row]);
    if (!read.note.isEmpty() && m_printer)
        m_printer->note(read.note, read.noteIsError);
    if (!read.warning.isEmpty() && m_printer && !m_warnings.contains(read.warning)) {
        m_warnings << read.warning;
        m_printer->note(QStringLiteral("romwright: ") + read.warning, true);
    }
    if (read.status)
        child.reported = read.status;
    // A prompt is said when its turn comes, so that the line a script
    // answers with goes to the port the last prompt named.
    const bool queued = read.waitsAtPrompt && child.process->running();
    if (queued) {
        child.prompt = read.object;
        child.process->promptWaits();
        m_prompts.push(child.index);
    }
    if (!read.object.isEmpty() && !queued)
        m_report.event(read.object);
    if (!read.rowChanged)
        return;
    changed(child);
    m_prompts.next();
}
void SeveralScanners::changed(const Child &child)
{
    if (m_printer)
        m_printer->changed(child.row);
}

void SeveralScanners::ended(Child &child, const QString &failure)
{
    if (m_prompts.asked() == child.index && m_printer)
        m_printer->prompt(0);
    m_prompts.remove(child.index);
    ScannerRow &row = m_rows[child.row];
    row.seconds = child.process->seconds();
    const QString &stopped = child.process->stopped();
    if (!stopped.isEmpty())
        row.notes << stopped;
    if (!failure.isEmpty())
        row.notes << failure;
    row.parentFailed = !stopped.isEmpty() || !failure.isEmpty();
    if (child.reported == kExitCompleted && failure.isEmpty())
        row.state = ScannerRow::State::Completed;
    else if (m_signal != 0 && stopped.isEmpty())
        row.state = ScannerRow::State::Interrupted;
    else
        row.state = ScannerRow::State::Failed;
    changed(child);
    if (--m_running == 0)
        m_loop.quit();
    m_prompts.next();
}

void SeveralScanners::ask(std::size_t index)
{
    const Child &child = *m_children[index];
    m_report.event(child.prompt);
    if (m_printer)
        m_printer->prompt(m_rows[child.row].port);
}

void SeveralScanners::answered(std::size_t index, bool line)
{
    Child &child = *m_children[index];
    child.process->answer(line);
    child.prompt = {};
    m_rows[child.row].step = QStringLiteral("restarting");
    if (m_printer)
        m_printer->answered(line && m_inputTerminal);
    changed(child);
}

void SeveralScanners::signalCaught(int signal)
{
    m_signal = signal;
    m_prompts.stop();
    if (m_searching)
        m_clock.endWaits();
    // Each child ends as the single console does on the signal: the port is closed.
    for (const std::unique_ptr<Child> &child : m_children)
        child->process->stop(QString(), signal);
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
    if (m_signal != 0 && status != kExitCompleted)
        status = m_report.end(RunEnding::interrupted(QString::fromLatin1(kSeveralInterrupted),
                                                     TerminationSignals::exitStatus(m_signal)));
    if (m_report.json()) {
        QJsonArray scanners;
        for (const ScannerRow &row : m_rows) {
            QJsonObject scanner{{json::kPort, row.port},
                                {json::kModel, row.model},
                                {json::kFile, row.file},
                                {json::kResult, QLatin1String(resultName(row.state))},
                                {json::kSeconds, row.seconds}};
            if (row.state != ScannerRow::State::Completed) {
                // The parent's own word (no answer, killed, no result) comes
                // last and outweighs what the child said before it ended.
                QJsonObject error = row.failure;
                if (!row.notes.isEmpty() && (!error.contains(json::kReason) || row.parentFailed))
                    error.insert(json::kReason, row.notes.back());
                scanner.insert(json::kError, error);
            }
            scanners.append(scanner);
        }
        m_report.event({{json::kEvent, json::events::kResult},
                        {json::kStatus, status},
                        {json::kCompleted, status == kExitCompleted},
                        {json::kScanners, scanners}});
    }
    return status;
}

int SeveralScanners::run()
{
    // The children are given the name as a string; bytes that are not UTF-8
    // would not reach them as they are, and another file could be opened.
    if (!m_options.file.isEmpty() && encodeFileName(m_options.file) != m_options.file.toUtf8()) {
        const int status = m_report.end(RunEnding::usage(
            QStringLiteral("the name of %1 is not UTF-8: rename the file to update several scanners with it")
                .arg(displayFileName(m_options.file))));
        m_report.result(status);
        return status;
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
        m_rows.push_back(row);
    }
    if (!m_report.json() && !m_rows.empty())
        m_printer = std::make_unique<MultiScannerPrinter>(stdout, stderr, isTerminal(stdout), m_rows);
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        m_children.push_back(std::make_unique<Child>());
        m_children.back()->index = m_children.size() - 1;
        m_children.back()->row = i;
        start(m_children.size() - 1, chosen[i]);
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
        const int status = report.end(RunEnding::usage(testTimeScaleRefusal()));
        report.result(status);
        return status;
    }
    return SeveralScanners(options, *timeScale).run();
}

} // namespace romwright
