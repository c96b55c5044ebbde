#pragma once
// Runs `romwright --console ...` as a real process with ROMWRIGHT_PORTS set
// and every wait of the update shortened by timeScale.

#include "support/AsNobody.h"
#include "support/TestPaths.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace romwright::test {

struct ConsoleRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// input goes to standard input, which is then closed unless closeInput is false.
// setpriv (see AsNobody.h) runs the program as nobody.
inline ConsoleRun runConsole(const QStringList &arguments, const QString &ports, const QByteArray &input = {},
                             bool closeInput = true, const QString &setpriv = QString(),
                             const QString &timeScale = QStringLiteral("0.05"))
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ROMWRIGHT_PORTS"), ports);
    env.insert(QStringLiteral("ROMWRIGHT_TEST_TIME_SCALE"), timeScale);
    process.setProcessEnvironment(env);
    const QString program = programDir() + QStringLiteral("/romwright");
    const QStringList all = QStringList{QStringLiteral("--console")} + arguments;
    if (setpriv.isEmpty())
        process.start(program, all);
    else
        process.start(setpriv, asNobody(program, all));
    if (!process.waitForStarted(5000))
        return {};
    if (!input.isEmpty())
        process.write(input);
    if (closeInput)
        process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace romwright::test
