#include "app/console/ScannerChild.h"

#include "app/ExitStatus.h"
#include "platform/ChildProcess.h"
#include "platform/PortMap.h"

#include <QCoreApplication>

#include <csignal>

namespace romwright {

ScannerChild::ScannerChild(std::chrono::milliseconds silenceBound, Hooks hooks)
    : m_silenceBound(silenceBound), m_hooks(std::move(hooks))
{
}

void ScannerChild::start(const QStringList &arguments, bool closeInput)
{
    m_process = std::make_unique<QProcess>();
    QProcess &process = *m_process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(arguments);
    // A terminal named for this run has its number in the child too.
    if (const QString ports = PortMap::runList(); !ports.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(PortMap::kPortsVariable), ports);
        process.setProcessEnvironment(environment);
    }
    startInOwnGroup(process);
    m_silence.setSingleShot(true);
    m_silence.setInterval(m_silenceBound);
    QObject::connect(&m_silence, &QTimer::timeout, [this] {
        stop(QStringLiteral("no word from its update for %1 s: stopped").arg(m_silenceBound.count() / 1000),
             SIGTERM);
    });
    m_ending.setSingleShot(true);
    m_ending.setInterval(kChildEndBound);
    QObject::connect(&m_ending, &QTimer::timeout, [this] {
        m_killed = true;
        m_process->kill();
    });
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { readOutput(); });
    QObject::connect(&process, &QProcess::readyReadStandardError, [this] { readErrors(false); });
    QObject::connect(&process, &QProcess::finished, [this](int exitCode, QProcess::ExitStatus status) {
        const std::optional<int> reported = m_hooks.reported();
        QString failure;
        if (m_killed)
            failure = QStringLiteral("its process did not end within %1 s and was killed")
                          .arg(kChildEndBound.count() / 1000);
        else if (status == QProcess::CrashExit)
            failure = QStringLiteral("its process ended without a result (it crashed)");
        else if (!reported)
            failure = QStringLiteral("its process ended with status %1 and no result").arg(exitCode);
        else if (exitCode != kExitCompleted && *reported == kExitCompleted)
            failure = QStringLiteral("its process ended with status %1").arg(exitCode);
        end(failure);
    });
    QObject::connect(&process, &QProcess::errorOccurred, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end(QStringLiteral("its process did not start: %1").arg(m_process->errorString()));
    });

    m_running = true;
    m_clock.start();
    m_silence.start();
    process.start();
    if (closeInput)
        process.closeWriteChannel();
}

void ScannerChild::stop(const QString &why, int signal)
{
    if (!m_running)
        return;
    m_stopped = why;
    m_silence.stop();
    sendSignal(*m_process, signal);
    m_ending.start();
}

void ScannerChild::answer(bool line)
{
    if (line)
        m_process->write("\n");
    else
        m_process->closeWriteChannel();
    m_silence.start();
}

void ScannerChild::readOutput()
{
    m_out += m_process->readAllStandardOutput();
    if (m_running && m_silence.isActive())
        m_silence.start();
    qsizetype end = 0;
    while ((end = m_out.indexOf('\n')) >= 0) {
        const QByteArray line = m_out.left(end);
        m_out.remove(0, end + 1);
        m_hooks.line(line);
    }
}

// Only a sanitizer or the toolkit writes there in JSON mode; its lines are
// passed on whole.
void ScannerChild::readErrors(bool all)
{
    m_err += m_process->readAllStandardError();
    if (all && !m_err.isEmpty() && !m_err.endsWith('\n'))
        m_err += '\n';
    qsizetype end = 0;
    while ((end = m_err.indexOf('\n')) >= 0) {
        const QString text = QString::fromLocal8Bit(m_err.left(end));
        m_err.remove(0, end + 1);
        m_hooks.errorLine(text);
    }
}

void ScannerChild::end(const QString &failure)
{
    if (!m_running)
        return;
    m_running = false;
    m_silence.stop();
    m_ending.stop();
    // What it wrote last, and a last line without its line break.
    m_out += m_process->readAllStandardOutput();
    if (!m_out.isEmpty())
        m_out += '\n';
    readOutput();
    readErrors(true);
    m_hooks.ended(failure);
}

} // namespace romwright
