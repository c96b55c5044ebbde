// romwright --console without --port: the ports are searched as the window's
// start-up searches them, and the chooser's question is asked on the terminal.
#include "support/ConsoleRun.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

using romwright::test::ConsoleRun;
using romwright::test::SimProcess;

namespace {

// A firmware file unless the test lets the console look for one.
ConsoleRun console(QStringList arguments, const QString &ports, const QByteArray &input = {})
{
    QStringList file{QStringLiteral("--file"),
                     romwright::test::sampleDir() + QStringLiteral("/Hlv1450ver5_9.s19")};
    if (arguments.removeAll(QStringLiteral("--discover")) > 0)
        file.clear();
    return romwright::test::runConsole(file + arguments, ports, input);
}

const QString kQuestion =
    QStringLiteral("Choose Your Scanner: 1 Halvern 1450, 2 Jorlith 750, 3 Wexmoor 3650, 0 Exit?");

} // namespace

TEST(ConsoleDetection, PrintsWhatTheSearchFound)
{
    struct Case {
        const char *what;
        QStringList sim;       // empty: no scanner at all
        QStringList arguments; // after --file (a Halvern's: --force where the model differs)
        QByteArray input;
        int exitCode;
        const char *firstLine;
        int questions;
    };
    const Case cases[] = {
        {"a Jorlith on port 2",
         {"--model", "jorlith"},
         {"--force"},
         {},
         0,
         "Scanner: Jorlith 750 on port 2",
         0},
        {"nothing on any port", {}, {}, {}, 1, "Scanner Not Found", 0},
        {"nothing on any port and no file", {}, {"--discover"}, {}, 1, "Scanner Not Found", 0},
        {"a Jorlith in compatibility mode",
         {"--compat"},
         {},
         {},
         1,
         "Scanner Not Found (Compatibilty Mode)",
         0},
        {"a bootloader, the model given in advance",
         {"--boot-prompt", "Q"},
         {"--model", "wexmoor", "--force"},
         {},
         0,
         "Scanner: Wexmoor 3650 on port 2",
         0},
        {"a bootloader, the model typed after a wrong answer",
         {"--boot-prompt", "A"},
         {"--force"},
         "9\n2\n",
         0,
         "Scanner: Jorlith 750 on port 2",
         2},
        {"a bootloader, Exit typed", {"--boot-prompt", "Q"}, {}, "0\n", 1, "", 1},
        {"a bootloader, no answer at all", {"--boot-prompt", "Q"}, {}, {}, 1, "", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<SimProcess> sim;
        QString ports = QStringLiteral(",");
        if (!c.sim.isEmpty()) {
            sim = std::make_unique<SimProcess>(c.sim);
            ASSERT_TRUE(sim->isReady()) << qPrintable(sim->errorText());
            ports += sim->link();
        }
        const ConsoleRun run = console(c.arguments, ports, c.input);
        EXPECT_EQ(run.exitCode, c.exitCode) << qPrintable(run.out + run.err);
        EXPECT_EQ(run.out.count(kQuestion), c.questions);
        QString out = run.out;
        out.remove(kQuestion + QLatin1Char(' '));
        EXPECT_EQ(out.section(QLatin1Char('\n'), 0, 0).trimmed(), QLatin1String(c.firstLine))
            << qPrintable(run.out);
        if (c.exitCode == 1 && !*c.firstLine) {
            EXPECT_TRUE(run.err.contains(QLatin1String("ended in the scanner chooser")))
                << qPrintable(run.err);
        }
    }
}

TEST(ConsoleDetection, TheFoundModelPicksTheFirmware)
{
    SimProcess sim({QStringLiteral("--model"), QStringLiteral("jorlith")});
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorText());
    const ConsoleRun run = console({QStringLiteral("--discover")}, sim.link());
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.out + run.err);
    EXPECT_TRUE(run.out.startsWith(QLatin1String("Scanner: Jorlith 750 on port 1\n"))) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains(QLatin1String("Firmware file: JL750Ver6_0.s19\n"))) << qPrintable(run.out);
}
