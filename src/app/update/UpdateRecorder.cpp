#include "app/update/UpdateRecorder.h"

#include "app/update/FirmwareDiscovery.h"
#include "app/update/UpdateJson.h"
#include "app/update/UpdateLog.h"
#include "family/ScannerFamilies.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/RecordingSerialPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonObject>

#include <utility>

namespace romwright {

UpdateRecorder::UpdateRecorder(QString stateFolder, const Clock &clock, PortTranscript *transcript,
                               Describe describe, Failure failure)
    : m_stateFolder(std::move(stateFolder)), m_clock(clock), m_transcript(transcript),
      m_describe(std::move(describe)), m_failure(std::move(failure))
{
}

void UpdateRecorder::started()
{
    m_run = Run{};
    m_run.started = QDateTime::currentDateTimeUtc();
    m_run.startedAt = m_clock.now();
}

void UpdateRecorder::step(UpdateStep step)
{
    if (step == UpdateStep::Request)
        m_run.requested = true;
}

void UpdateRecorder::stopped(UpdateStop)
{
    log(Outcome::Stopped, std::nullopt, m_describe(0));
    m_run.requested = false; // logged: finished has nothing more to add
}

void UpdateRecorder::finished(Outcome outcome)
{
    log(outcome, m_failure(), m_describe(0));
}

void UpdateRecorder::firmwareWritten()
{
    const int port = m_describe(0).port;
    const UnfinishedUpdates records(m_stateFolder);
    if (records.remove(port))
        m_recordKept = false;
    else if (recordNotRemoved)
        recordNotRemoved(records.pathFor(port));
}

void UpdateRecorder::leftWithoutUpdate()
{
    if (!m_recordKept)
        return;
    const int port = m_describe(0).port;
    const UnfinishedUpdates records(m_stateFolder);
    for (const UnfinishedUpdate &record : records.all())
        if (record.port == port && !record.boot && records.remove(port))
            m_recordKept = false;
}

void UpdateRecorder::beforeRestart()
{
    const UnfinishedUpdate record = m_describe(0);
    if (typeOfScannerForModel(record.model) != kNotDetected)
        keep(record);
}

void UpdateRecorder::beforeChange(char boot)
{
    const UnfinishedUpdate record = m_describe(boot);
    m_run.route = record;
    keep(record);
}

void UpdateRecorder::keep(const UnfinishedUpdate &record)
{
    const UnfinishedUpdates records(m_stateFolder);
    std::vector<DamagedRecord> links;
    const bool saved = records.save(record, &links);
    for (const DamagedRecord &link : links)
        if (linkSetAside)
            linkSetAside(damagedRecordText(link));
    if (!saved) {
        if (recordNotWritten && !std::exchange(m_notWrittenSaid, true))
            recordNotWritten(records.pathFor(record.port));
        return;
    }
    m_recordKept = true;
    // A record of this update on the same device under another number (it
    // has moved since) is this one now; another scanner's stays.
    if (!record.device.isEmpty())
        for (const UnfinishedUpdate &other : records.all())
            if (other.port != record.port && other.device == record.device && sameUpdate(other, record))
                records.remove(other.port);
}

void UpdateRecorder::log(Outcome outcome, const std::optional<UpdateFailure> &failure,
                         const UnfinishedUpdate &now)
{
    if (!m_run.requested || m_stateFolder.isEmpty())
        return;
    m_run.ended = QDateTime::currentDateTimeUtc();
    m_run.endedAt = m_clock.now();
    // Port, model and file as the route found them: the Port and File menus
    // are usable while a missed greeting is asked for again.
    const UnfinishedUpdate update = m_run.route ? *m_run.route : now;
    QJsonObject entry = toJson(update);
    // Paths as the system writes them, as the transcripts and messages do.
    entry.insert(QStringLiteral("file"), QDir::toNativeSeparators(update.file));
    if (!m_run.route)
        entry.insert(QStringLiteral("boot"), QJsonValue::Null); // no boot software greeted a route
    entry.insert(QStringLiteral("started"), m_run.started.toString(Qt::ISODateWithMs));
    entry.insert(QStringLiteral("ended"), m_run.ended.toString(Qt::ISODateWithMs));
    entry.insert(QStringLiteral("result"), QLatin1String(resultName(outcome)));
    entry.insert(QStringLiteral("reason"), QLatin1String(describe(outcome)));
    if (outcome != Outcome::EndCompleted && failure)
        entry.insert(QStringLiteral("failure"), failureJson(outcome, failure));
    if (m_run.progress)
        entry.insert(QStringLiteral("pass"), m_run.progress->pass == Pass::Bootloader
                                                 ? QStringLiteral("boot-software")
                                                 : QStringLiteral("firmware"));
    entry.insert(QStringLiteral("blocksSent"), m_run.progress ? m_run.progress->blocksSent : 0);
    entry.insert(QStringLiteral("blocksTotal"), m_run.progress ? m_run.progress->blocksTotal : 0);
    if (m_run.answered)
        entry.insert(QStringLiteral("answersAs"),
                     *m_run.answered ? QJsonValue(**m_run.answered) : QJsonValue());
    entry.insert(QStringLiteral("seconds"), double((m_run.endedAt - m_run.startedAt).count()) / 1000.0);
    entry.insert(QStringLiteral("version"), QCoreApplication::applicationVersion());

    const UpdateLog log(m_stateFolder);
    QStringList linksSetAside;
    QString notWritten;
    if (outcome != Outcome::EndCompleted && m_transcript) {
        // One arg() for all: a model or file name may hold "%1".
        const QString header =
            QStringLiteral("# romwright %1: the update of the %2 on port %3 (%4), %5 to %6\n"
                           "# firmware file %7, %8 bytes, SHA-256 %9\n")
                .arg(QCoreApplication::applicationVersion(),
                     update.model.isEmpty() ? QStringLiteral("scanner") : update.model,
                     QString::number(update.port), update.device, m_run.started.toString(Qt::ISODateWithMs),
                     m_run.ended.toString(Qt::ISODateWithMs), displayFileName(update.file),
                     QString::number(update.size), QString::fromLatin1(update.sha256)) +
            QStringLiteral("# result: %1 (%2)\n")
                .arg(QLatin1String(resultName(outcome)), QLatin1String(describe(outcome))) +
            QStringLiteral("# the last %1 KB each way: milliseconds since the program started, port, way, "
                           "line rate in baud, bytes\n")
                .arg(PortTranscript::kKeptBytes / 1024);
        const QString name = log.keepTranscript(m_run.started.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                                                    QStringLiteral("-port%1").arg(update.port),
                                                header + m_transcript->text(), &linksSetAside);
        if (name.isEmpty())
            notWritten = joinPath(m_stateFolder, QLatin1String(kTranscriptFolder));
        else
            entry.insert(QStringLiteral("transcript"), QDir::toNativeSeparators(name));
    }
    if (!log.append(entry, &linksSetAside))
        notWritten = log.path();
    for (const QString &text : linksSetAside)
        if (linkSetAside)
            linkSetAside(text);
    // One warning, however much could not be written.
    if (!notWritten.isEmpty() && logNotWritten)
        logNotWritten(notWritten);
}

} // namespace romwright
