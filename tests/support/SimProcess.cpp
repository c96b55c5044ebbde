#include "support/SimProcess.h"

#include "platform/FileSystem.h"
#include "support/TestPaths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace romwright::test {

namespace {
constexpr int kStartBoundMs = 5000;
constexpr int kStopBoundMs = 3000;
} // namespace

QString SimProcess::portList(std::initializer_list<const SimProcess *> sims)
{
    QStringList items;
    for (const SimProcess *sim : sims)
        items << (sim ? sim->link() : QString());
    return items.join(QLatin1Char(','));
}

SimProcess::SimProcess(const QStringList &arguments, const QString &name)
    : m_dir(std::make_unique<QTemporaryDir>()), m_process(std::make_unique<QProcess>())
{
    if (!m_dir->isValid())
        return;
    m_link = m_dir->filePath(name);
    m_dumpPath = m_dir->filePath(name + QStringLiteral(".dump"));
    m_logPath = m_dir->filePath(name + QStringLiteral(".log"));
    QStringList all = arguments;
    all << QStringLiteral("--link") << m_link << QStringLiteral("--dump") << m_dumpPath
        << QStringLiteral("--log") << m_logPath;
    const QString program = QDir(programDir()).filePath(QStringLiteral("romwright-sim"));
    m_process->start(program, all);
    if (!m_process->waitForStarted(kStartBoundMs)) {
        m_startError = QStringLiteral("cannot start %1: %2").arg(program, m_process->errorString());
        return;
    }
    // The simulator prints "ready <terminal>" once the link is in place.
    const QDeadlineTimer deadline(kStartBoundMs);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired() && m_process->state() == QProcess::Running) {
        if (!m_process->waitForReadyRead(int(deadline.remainingTime())))
            break;
        out += m_process->readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    if (line.startsWith("ready ")) {
        m_terminal = QString::fromLocal8Bit(line.mid(6));
        m_ready = QFileInfo(m_link).exists();
    }
}

SimProcess::~SimProcess()
{
    if (running()) {
        m_process->kill();
        m_process->waitForFinished(kStopBoundMs);
    }
    // Under the sanitizers a fault inside the simulator only shows on its
    // stderr; make it fail the test that ran it.
    const QString errors = errorText();
    if (errors.contains(QLatin1String("Sanitizer")) || errors.contains(QLatin1String("runtime error")))
        ADD_FAILURE() << "romwright-sim reported:\n" << errors.toStdString();
}

bool SimProcess::waitForExit(std::chrono::milliseconds bound)
{
    return !running() || m_process->waitForFinished(int(bound.count()));
}

void SimProcess::stop()
{
    if (!running())
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(kStopBoundMs)) {
        m_process->kill();
        m_process->waitForFinished(kStopBoundMs);
    }
}

QByteArray SimProcess::dump() const
{
    return LocalFileSystem().read(m_dumpPath).bytes;
}

QString SimProcess::transcript() const
{
    return QString::fromLatin1(LocalFileSystem().read(m_logPath).bytes);
}

QString SimProcess::errorText() const
{
    m_stderr += QString::fromLocal8Bit(m_process->readAllStandardError());
    return m_startError + m_stderr;
}

} // namespace romwright::test
