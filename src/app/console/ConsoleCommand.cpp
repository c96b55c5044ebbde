// romwright --console: the start-up of the window and a click on PROGRAM,
// with the lamps, messages and progress printed instead of shown.
#include "app/ExitStatus.h"
#include "app/FrontEnds.h"
#include "app/console/ConsoleCheck.h"
#include "app/console/ConsoleDialogs.h"
#include "app/console/ConsoleOptions.h"
#include "app/console/ConsoleReport.h"
#include "app/console/ConsoleView.h"
#include "app/console/ProgressPrinter.h"
#include "app/startup/CommandLineOptions.h"
#include "app/startup/FindScanner.h"
#include "app/startup/FormLoad.h"
#include "app/startup/LocalServices.h"
#include "app/startup/MainState.h"
#include "app/startup/PortPermissionNotice.h"
#include "app/startup/ScannerGate.h"
#include "app/update/FirmwareDiscovery.h"
#include "app/update/UnfinishedUpdate.h"
#include "app/update/UpdateJson.h"
#include "image/FirmwareCheck.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/LineClock.h"
#include "platform/PortMap.h"
#include "platform/RecordingSerialPort.h"
#include "platform/SerialPort.h"
#include "platform/TerminationSignals.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/Scanner.h"

#include <QFile>

#include <cstdio>
#include <optional>

namespace romwright {

namespace {

// What the console says of an update beyond its view: the progress of a
// pass, and for the report the step and the restarted scanner's answer.
// Heard before the update's controller, so that a lamp a step turns green
// is reported with that step.
class ConsoleListener : public UpdateEvents {
public:
    ConsoleListener(UpdateSequence &update, ConsoleReport &report, ProgressPrinter &progress)
        : m_update(update), m_report(report), m_progress(progress)
    {
        m_update.listen(*this, true);
    }
    ~ConsoleListener() override { m_update.stopListening(*this); }

    void step(UpdateStep step) override { m_report.setStep(QLatin1String(stepName(step))); }
    void progress(const TransferProgress &progress) override { m_progress.show(progress); }
    void answeredAfterUpdate(const std::optional<QString> &name) override { m_report.setAnswered(name); }

private:
    UpdateSequence &m_update;
    ConsoleReport &m_report;
    ProgressPrinter &m_progress;
};

// What is advised when the scanner or the file is not what was named. A
// record's port and file are no one's choice to force: its record is what
// is in the way when it no longer fits (port: the record's; 0 for none).
QString refusalAdvice(int recordPort)
{
    if (recordPort == 0)
        return QStringLiteral("give --force to program it all the same");
    return QStringLiteral("this comes of the record of an unfinished update on port %1; if its scanner no "
                          "longer needs it, drop it: romwright --console --forget %1")
        .arg(recordPort);
}

// The window would ask; the console stops unless --force said Yes in advance.
bool firmwareRefused(const FirmwareVerdict &verdict, bool force, ConsoleReport &report, int recordPort = 0)
{
    if (verdict.kind == FirmwareVerdict::Kind::Fits || (verdict.kind == FirmwareVerdict::Kind::Ask && force))
        return false;
    report.error(verdict.text + QStringLiteral(" The scanner was not changed."));
    if (verdict.kind == FirmwareVerdict::Kind::Ask)
        report.error(refusalAdvice(recordPort));
    return true;
}

// --forget: the records dropped, or that there was none.
int forgetRecords(int port, ConsoleReport &report)
{
    const UnfinishedUpdates records(userStateFolder());
    int dropped = 0;
    for (const UnfinishedUpdates::Stored &file : records.stored()) {
        if (port != 0 && !(file.record ? file.record->port == port : file.path == records.pathFor(port)))
            continue;
        if (!QFile::remove(file.path)) {
            report.error(QStringLiteral("could not remove %1").arg(displayFileName(file.path)));
            return kExitFailed;
        }
        ++dropped;
        const QString text = file.record
                                 ? file.record->sentence()
                                 : QStringLiteral("%1 (%2)").arg(displayFileName(file.path), file.why);
        if (report.json())
            report.event({{QStringLiteral("event"), QStringLiteral("forgotten")},
                          {QStringLiteral("path"), file.path},
                          {QStringLiteral("text"), text}});
        else
            std::printf("Record dropped: %s\n", qPrintable(text));
    }
    if (dropped == 0) {
        const QString none =
            port == 0 ? QStringLiteral("No record of an unfinished update is kept.")
                      : QStringLiteral("No record of an unfinished update is kept for port %1.").arg(port);
        if (report.json())
            report.event(
                {{QStringLiteral("event"), QStringLiteral("forgotten")}, {QStringLiteral("text"), none}});
        else
            std::printf("%s\n", qPrintable(none));
    }
    std::fflush(stdout);
    return kExitCompleted;
}

// After start-up: PROGRAM, as the window's button would run it, where start-up left something to program.
RunEnding programAfter(MainState &state, const StartUpResult &started, const StartUpRequest &request,
                       ConsoleReport &report);

// The console's start-up: what the window would show in boxes is reported;
// where the window would ask, the console stops before the scanner hears
// more than its identity query.
class ConsoleStartUp : public StartUpFrontEnd {
public:
    ConsoleStartUp(ConsoleReport &report, ConsoleDialogs &dialogs, const ConsoleOptions &options)
        : m_report(report), m_dialogs(dialogs), m_options(options)
    {
    }

    // The gate's questions, answered as the console does.
    void answerTheGate(ScannerGate &gate)
    {
        gate.setForceFirmware(m_options.force);
        gate.contradiction = [this](const ModelDecision &decision, const QString &) {
            return contradiction(decision);
        };
        // --force is the user's word on what was named, not on what a record holds.
        gate.judgeVerdict = [this](const FirmwareVerdict &verdict) {
            return !firmwareRefused(verdict, m_options.force && m_recordPort == 0, m_report, m_recordPort);
        };
    }

    void searched(const SearchReport &found) override
    {
        if (found.port < 1) {
            // "Compatibilty Mode" is a way of not finding one, worth naming.
            const QString notFound = QStringLiteral("Scanner Not Found");
            m_report.scannerNotFound(found.name == notFound
                                         ? notFound
                                         : notFound + QStringLiteral(" (") + found.name + QLatin1Char(')'));
            if (!found.held.empty())
                m_report.error(portsInUseText(found.held));
            return;
        }
        m_report.scannerFound(found.name, found.port);
    }
    void firmwareFound(const QString &sFirmFile) override { m_report.firmwareFile(sFirmFile); }
    FinishAnswer offerToFinish(const UnfinishedUpdate &record, int othersLeft) override;
    RecordPick chooseAmongRecords(const std::vector<UnfinishedUpdate> &rivals, int othersLeft) override;
    void recordNotUsed(const UnfinishedUpdate &record, RecordedFile file) override
    {
        const char *text = file == RecordedFile::Changed ? kRecordFileChanged : kRecordFileMissing;
        m_report.warning(QString::fromLatin1(text).arg(record.sentence(), displayFileName(record.file)));
    }
    void recordDamaged(const DamagedRecord &damaged) override
    {
        m_report.warning(damagedRecordText(damaged));
    }
    void recordSetAside(const UnfinishedUpdate &, const QString &text) override { m_report.warning(text); }
    void noScannerFound(const std::vector<int> &recordPorts) override
    {
        m_report.error(QString::fromLatin1(kNoScannerWayBackConsole));
        if (const QString forget = forgetHint(recordPorts); !forget.isEmpty())
            m_report.error(forget);
    }

private:
    bool contradiction(const ModelDecision &decision);

    ConsoleReport &m_report;
    ConsoleDialogs &m_dialogs;
    const ConsoleOptions &m_options;
    int m_recordPort = 0; // the port of the record being finished, 0 for none
};

FinishAnswer ConsoleStartUp::offerToFinish(const UnfinishedUpdate &record, int othersLeft)
{
    QString text = record.sentence();
    if (m_options.file.isEmpty())
        text += record.file.isEmpty()
                    ? QString::fromLatin1(kFinishingItWithNewest)
                    : QString::fromLatin1(kFinishingItWith).arg(displayFileName(record.file));
    if (othersLeft > 0)
        text += QStringLiteral(" %1 more wait%2 to be finished: run the update again after this one.")
                    .arg(othersLeft)
                    .arg(othersLeft == 1 ? QStringLiteral("s") : QString());
    if (!m_dialogs.finishPrompt(text))
        return FinishAnswer::Stop;
    m_recordPort = record.port;
    return FinishAnswer::Finish;
}

StartUpFrontEnd::RecordPick ConsoleStartUp::chooseAmongRecords(const std::vector<UnfinishedUpdate> &rivals,
                                                               int)
{
    const int port = rivals.front().port;
    m_report.error(QString::fromLatin1(kRivalRecords).arg(rivals.size()).arg(port));
    for (const UnfinishedUpdate &record : rivals)
        m_report.error(QStringLiteral("  ") + record.sentence() +
                       QString::fromLatin1(kFinishingItWith).arg(displayFileName(record.file)));
    m_report.error(QString::fromLatin1(kRivalRecordsConsole).arg(port));
    return {FinishAnswer::Stop, 0};
}

// The window would ask; the console stops before the scanner hears more than its identity query.
bool ConsoleStartUp::contradiction(const ModelDecision &decision)
{
    // A run of several scanners lists each under the model it answered as.
    if (m_report.json() && !decision.model.isEmpty())
        m_report.scannerFound(decision.model, m_recordPort != 0 ? m_recordPort : m_options.port);
    const bool unclear = decision.kind == ModelDecision::Kind::Refused;
    m_report.error(unclear ? decision.text : decision.text + QStringLiteral(" The scanner was not changed."));
    if (m_recordPort != 0)
        m_report.error(refusalAdvice(m_recordPort));
    else
        m_report.error(
            decision.model.isEmpty()
                ? QStringLiteral("check the cable and the port number; the scanner must answer as "
                                 "one of the models the Romwright knows")
                : QStringLiteral("check the port number, or leave out --model to update it as the %1")
                      .arg(decision.model));
    return false;
}

// The start-up the options ask for.
StartUpRequest consoleRequest(const ConsoleOptions &options)
{
    StartUpRequest request;
    if (options.port != 0) {
        request.comP = QString::number(options.port);
        request.scannMod = options.model;
        request.givenType = ScannerType(typeOfScannerForModel(options.model));
    } else {
        request.recordModel = options.model;
    }
    request.firmwarePath = options.file;
    request.barCode = options.barCodeProcessor;
    request.stopAtFirstGap = true;
    request.offerRecords = true;
    return request;
}

RunEnding finish(Outcome outcome, const UpdateSequence &update, ConsoleReport &report)
{
    // After the completion message; a signal may have cut the question short.
    if (outcome == Outcome::EndCompleted)
        report.answered(TerminationSignals::lastCaught() != 0);
    return updateEnding(outcome, update.failure());
}

// "a, b or c" of the folders searched, the empty ones left out.
QString folderList(QStringList folders)
{
    folders.removeAll(QString());
    const QString last = folders.isEmpty() ? QString() : folders.takeLast();
    return folders.isEmpty() ? last : folders.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

} // namespace

int runConsole(const QStringList &arguments, ConsoleReport &report)
{
    const ParsedConsoleOptions parsed = parseConsoleOptions(arguments);
    if (!parsed.options && report.json())
        return report.end(RunEnding::usage(parsed.error));
    if (!parsed.options) {
        printUsageError(parsed.error);
        return kExitUsage;
    }
    const ConsoleOptions &options = *parsed.options;
    if (options.forget)
        return forgetRecords(*options.forget, report);
    const std::optional<double> timeScale = testTimeScale();
    if (!timeScale)
        return report.end(RunEnding::usage(testTimeScaleRefusal()));
    if (*timeScale != 1.0)
        report.warning(QStringLiteral("romwright: every wait scaled by %1 (%2); not for a real scanner")
                           .arg(*timeScale)
                           .arg(QLatin1String(kTestTimeScale)));

    ConsoleView view(stdout);
    ConsoleDialogs dialogs(stdout, stdin, options.yes);
    LineClock clock;
    const TerminationSignals interruption([&clock](int) { clock.endWaits(); });
    LocalFileSystem files;
    PortTranscript transcript(clock);
    if (QString why; !options.trace.isEmpty() && !transcript.traceTo(options.trace, &why))
        return report.end(RunEnding::failed(
            QStringLiteral("cannot write the trace %1: %2").arg(displayFileName(options.trace), why)));
    const PortMap map = portMapWithRecordedTerminals();
    if (map.ignoredDevices() > 0)
        report.warning(map.ignoredDevicesNote());
    MainState state(std::make_unique<RecordingSerialPort>(makeSystemSerialPort(map), transcript),
                    localServices(view, dialogs, clock, files, transcript),
                    FlashTimings{}.scaled(*timeScale));
    const auto warn = [&report](const QString &text) {
        report.warning(QStringLiteral("romwright: ") + text);
    };
    sayRecorderFailures(state, {warn, warn,
                                QStringLiteral("if this update is interrupted, run it again with --port, "
                                               "--model and --file")});
    ProgressPrinter progress(stdout, isTerminal(stdout));
    view.report = dialogs.report = progress.report = &report;
    const ConsoleListener listener(state.update(), report, progress);
    state.updateController().answerInCompletion = false; // the report says it
    view.beforePrint = [&progress] { progress.breakLine(); };
    dialogs.beforePrint = [&progress] { progress.breakLine(); };

    // The window's start-up, stopping where the window would go on with nothing to program.
    if (options.port == 0 && !options.model.isEmpty())
        dialogs.setChooserAnswer(parseChooserAnswer(options.model).model);
    state.optProcessor_Click(options.barCodeProcessor ? 1 : 0);
    ConsoleStartUp frontEnd(report, dialogs, options);
    frontEnd.answerTheGate(state.gate());
    const StartUpRequest request =
        options.check ? checkRequest(consoleRequest(options)) : consoleRequest(options);
    std::unique_ptr<Scanner> scanner;
    PortPermissionNotice notice;
    const StartUpResult started = FormLoad(request, {state, scanner, notice}, frontEnd);
    const int status = report.end(options.check ? consoleCheck(state, started, options, report)
                                                : programAfter(state, started, request, report));
    if (transcript.traceFailed())
        report.warning(QStringLiteral("romwright: the trace %1 could not be written whole")
                           .arg(displayFileName(options.trace)));
    // The waits have returned and the port is closed. A signal says what it
    // cut short; an update that completed all the same keeps its status.
    if (const int signal = TerminationSignals::lastCaught(); signal != 0 && status != kExitCompleted)
        return report.end(RunEnding::interrupted(
            QString::fromLatin1(interruptionText(state.update().phase(), state.link().restartRequested(),
                                                 state.recorder().recordKept())),
            TerminationSignals::exitStatus(signal)));
    if (status != kExitCompleted && state.scannerLeftInBootSoftware())
        report.error(QString::fromLatin1(kLeftInBootSoftware));
    return status;
}

namespace {

// No file for the scanner: where to put one, and how to go on.
RunEnding noFirmware(MainState &state, const StartUpResult &started)
{
    const QString model = state.inputs().model();
    const MainServices &services = state.services();
    // The boot software is known (it greeted, or the scanner waits in it),
    // and no file for it is at hand: once it is, the update goes on.
    const bool restarted = state.link().restartRequested();
    const bool waiting = started.candidates.size() == 1 && started.candidates.front().bTargetA;
    if (started.typeOfScanner == kNotDetected || !(restarted || waiting))
        return RunEnding::failed(
            QStringLiteral("no firmware file for %1 in %2; name one with --file")
                .arg(started.typeOfScanner == kNotDetected
                         ? QStringLiteral("an unknown scanner (give --model)")
                         : QStringLiteral("the ") + model,
                     folderList(QStringList{services.programFolder, services.userDataFolder} +
                                services.systemDataFolders)));
    const FileOpenContext files{services.files, services.programFolder, services.userDataFolder,
                                services.systemDataFolders};
    const bool bTargetA = restarted ? state.target().bTargetA : *started.candidates.front().bTargetA;
    const FirmwareCandidate missing{
        bTargetA, firmwareCandidates(started.typeOfScanner, bTargetA, state.inputs().barCode()), {}, false};
    const bool recorded = state.recorder().recordKept() || started.finishing;
    return RunEnding::failed(
        QStringLiteral("no firmware file for the %1 with %2: %3, then %4")
            .arg(model, bootSoftwareName(bTargetA), missingFirmwareAdvice(missing, started.candidates, files),
                 recorded ? QStringLiteral("run romwright --console --yes to finish the update")
                          : QStringLiteral("run the update again")));
}

// Start-up's end when it leaves nothing to program; nullopt when it is Ready.
std::optional<RunEnding> startUpEnding(MainState &state, const StartUpResult &started, ConsoleReport &report)
{
    switch (started.end) {
    case FormLoadEnd::Ready:
        return std::nullopt;
    case FormLoadEnd::EndProgram:
        if (endsProgram(started.identified))
            return finish(started.identified, state.update(), report);
        return RunEnding::failed(QStringLiteral("ended in the scanner chooser"));
    case FormLoadEnd::NoFirmware:
        return noFirmware(state, started);
    case FormLoadEnd::Declined:
        // A file the search would take for one boot software cannot be used:
        // which boot software the scanner has is not known before it restarts.
        for (const FirmwareCandidate &candidate : started.candidates)
            if (!candidate.path.isEmpty() && !candidate.sound)
                return RunEnding::failed(
                    QStringLiteral("the update would take %1 for %2, which cannot be used; mend or "
                                   "replace it, or name another file with --file. The scanner was not "
                                   "changed.")
                        .arg(displayFileName(candidate.path), bootSoftwareName(candidate.bTargetA)));
        return RunEnding::failed();
    case FormLoadEnd::NoScanner:
    case FormLoadEnd::PortRefused:
    case FormLoadEnd::Unfinished:
    case FormLoadEnd::Stopped:
        break;
    }
    return RunEnding::failed(); // said as it happened
}

// The gate's end at PROGRAM; nullopt when it passes.
std::optional<RunEnding> gateEnding(GateVerdict verdict)
{
    switch (verdict) {
    case GateVerdict::Pass:
        return std::nullopt;
    case GateVerdict::Closed:
        return RunEnding::failed(QStringLiteral("no scanner model chosen: the scanner was not changed"));
    case GateVerdict::Exit:
        return RunEnding::failed(QStringLiteral("ended in the scanner chooser"));
    case GateVerdict::Refused:
    case GateVerdict::Unclear:
    case GateVerdict::NoPort:
        break;
    }
    return RunEnding::failed(); // said as it happened
}

RunEnding programAfter(MainState &state, const StartUpResult &started, const StartUpRequest &request,
                       ConsoleReport &report)
{
    if (std::optional<RunEnding> ended = startUpEnding(state, started, report))
        return *ended;
    // The model a named port's scanner was taken for, for a script (and a run of several scanners).
    if (report.json() && request.comP && familyNamed(state.inputs().model()))
        report.scannerFound(state.inputs().model(), state.MSComm1().commPort());
    // FileOpen has said what is wrong with the files; PROGRAM would only
    // ask for a file the user has already named.
    if (!state.firmware().FilesValid)
        return RunEnding::failed();
    // No model found or given: the file is checked against the one named on the terminal.
    ScannerGate &gate = state.gate();
    if (std::optional<RunEnding> ended =
            gateEnding(gate.gate(state.MSComm1().commPort(), GateMoment::Program)))
        return *ended;
    // The boot software is known now, and the file's content.
    if (gate.gate(state.MSComm1().commPort(), GateMoment::File, state.target().bTargetA) != GateVerdict::Pass)
        return RunEnding::failed();
    return finish(state.cmdProgram_Click(), state.update(), report);
}

} // namespace

} // namespace romwright
