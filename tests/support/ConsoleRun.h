#pragma once
// Runs the built romwright as a real process with ROMWRIGHT_PORTS set and
// every wait of the update shortened by the time scale.

#include "support/AsNobody.h"
#include "support/TestPaths.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

namespace romwright::test {

struct ConsoleRun {
    int exitCode = -1; // -1: it crashed or was killed
    QString out;
    QString err;
};

inline const QString kHalvernSample = sampleDir() + QStringLiteral("/Hlv1450ver5_9.s19");
inline const QString kProgram = programDir() + QStringLiteral("/romwright");

// stateFolder holds the record of an interrupted update (empty: the test's
// own, from ctest).
inline void setPortsAndTimeScale(QProcess &process, const QString &ports,
                                 const QString &timeScale = QStringLiteral("0.05"),
                                 const QString &stateFolder = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ROMWRIGHT_PORTS"), ports);
    env.insert(QStringLiteral("ROMWRIGHT_TEST_TIME_SCALE"), timeScale);
    if (!stateFolder.isEmpty())
        env.insert(QStringLiteral("XDG_STATE_HOME"), stateFolder);
    process.setProcessEnvironment(env);
}

// romwright with these arguments; input goes to standard input, which is then closed; setpriv (see
// AsNobody.h) runs the program as nobody; environment holds NAME=VALUE settings on top of the suite's.
// A run that would wait for a person is killed.
inline ConsoleRun runRomwright(const QStringList &arguments, const QString &ports = {},
                               const QByteArray &input = {},
                               const QString &timeScale = QStringLiteral("0.05"), const QString &setpriv = {},
                               const QStringList &environment = {})
{
    QProcess process;
    setPortsAndTimeScale(process, ports, timeScale);
    QProcessEnvironment env = process.processEnvironment();
    // A new, empty state folder unless one is named, so that no run finds
    // another's record of an unfinished update.
    QTemporaryDir state;
    env.insert(QStringLiteral("XDG_STATE_HOME"), state.path());
    for (const QString &setting : environment)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    if (setpriv.isEmpty())
        process.start(kProgram, arguments);
    else
        process.start(setpriv, asNobody(kProgram, arguments));
    if (!process.waitForStarted(5000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        process.kill();
    process.waitForFinished(1000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// The update log's lines under stateFolder (what XDG_STATE_HOME was), oldest
// first; a line that is no JSON object is an empty one.
inline QList<QJsonObject> loggedUpdates(const QString &stateFolder)
{
    QFile file(stateFolder + QStringLiteral("/romwright/updates.jsonl"));
    QList<QJsonObject> entries;
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                entries << QJsonDocument::fromJson(line).object();
    return entries;
}

inline QString sha256Of(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QString::fromLatin1(
                     QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex())
               : QString();
}

} // namespace romwright::test
