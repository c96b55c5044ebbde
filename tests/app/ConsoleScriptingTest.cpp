// The program as a script or a new user meets it: its command-line conventions.
#include "support/ConsoleRun.h"
#include "support/TestPaths.h"

#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

using romwright::test::ConsoleRun;

// The window would wait for a person; a case that opens it is killed and fails.
ConsoleRun runProgram(const QStringList &arguments)
{
    QProcess process;
    process.start(romwright::test::programDir() + QStringLiteral("/romwright"), arguments);
    if (!process.waitForFinished(10000))
        process.kill();
    process.waitForFinished(1000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace

TEST(CommandLine, HelpVersionAndUnknownOptions)
{
    const QString help = QStringLiteral("usage: romwright \\[FILE\\]");
    struct Case {
        QStringList arguments;
        int exitCode;
        QString out; // a regular expression; the other stream is then empty
        QString err;
    } cases[] = {
        {{"--help"}, 0, help, {}},
        {{"-h"}, 0, help, {}},
        {{"--console", "--port", "1", "--help"}, 0, help, {}},
        {{"--info", "-h"}, 0, help, {}},
        {{"--version"}, 0, QStringLiteral("^romwright \\d+\\.\\d+\\.\\d+\\n$"), {}},
        {{"--bogus"}, 2, {}, QStringLiteral("^romwright: unknown option --bogus\\n") + help},
        {{"-x", "file.s19"}, 2, {}, QStringLiteral("unknown option -x")},
        // The toolkit's window options pass, with their values.
        {{"-style", "fusion", "--reverse", "-q"}, 2, {}, QStringLiteral("unknown option -q\\n")},
        {{"--info", "-x"}, 2, {}, QStringLiteral("usage: romwright --info")},
        {{"--console", "-x"}, 2, {}, QStringLiteral("unknown argument: -x")},
    };
    for (const Case &c : cases) {
        const ConsoleRun run = runProgram(c.arguments);
        const QString name = c.arguments.join(QLatin1Char(' '));
        EXPECT_EQ(run.exitCode, c.exitCode) << qPrintable(name);
        if (c.exitCode == 0) {
            EXPECT_TRUE(run.out.contains(QRegularExpression(c.out))) << qPrintable(name + ": " + run.out);
            EXPECT_TRUE(run.err.isEmpty()) << qPrintable(name + ": " + run.err);
        } else {
            EXPECT_TRUE(run.err.contains(QRegularExpression(c.err))) << qPrintable(name + ": " + run.err);
            EXPECT_TRUE(run.out.isEmpty()) << qPrintable(name + ": " + run.out);
        }
    }
    // Every front end's usage is in the help.
    const QString text = runProgram({"--help"}).out;
    for (const char *line : {"usage: romwright --console", "usage: romwright --info", "--version"})
        EXPECT_TRUE(text.contains(QLatin1String(line))) << line;
}

