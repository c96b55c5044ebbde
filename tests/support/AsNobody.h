#pragma once
// Running as the user nobody (uid and gid 65534, no other groups): how the
// tests see what a user without access to a serial device is told. Needs
// root and setpriv; callers skip when setprivProgram() is empty.

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <unistd.h>

namespace romwright::test {

inline QString setprivProgram()
{
    return ::geteuid() == 0 ? QStandardPaths::findExecutable(QStringLiteral("setpriv")) : QString();
}

// setpriv's arguments for running program with arguments as nobody.
inline QStringList asNobody(const QString &program, const QStringList &arguments)
{
    return QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                       QStringLiteral("--clear-groups"), program} +
           arguments;
}

// Runs the test named test of this program again as nobody, with variable
// set to value; "" when it passed there, else what it printed.
inline QString rerunAsNobody(const QString &setpriv, const QString &test, const char *variable,
                             const QString &value)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(variable), value);
    child.setProcessEnvironment(env);
    child.start(setpriv, asNobody(QCoreApplication::applicationFilePath(),
                                  {QStringLiteral("--gtest_filter=") + test}));
    if (!child.waitForFinished(20000))
        child.kill();
    const QString output =
        QString::fromLocal8Bit(child.readAllStandardOutput() + child.readAllStandardError());
    const bool passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                        output.contains(QLatin1String("[  PASSED  ] 1 test"));
    return passed ? QString() : output + QStringLiteral("(not passed)");
}

} // namespace romwright::test
