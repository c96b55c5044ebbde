// romwright --console as a user runs it: a real process on the simulator's
// terminal, judged by its output and exit status.
#include "support/ConsoleRun.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <optional>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using romwright::test::ConsoleRun;
using romwright::test::runConsole;
using romwright::test::SimProcess;

namespace {

QString sample()
{
    return romwright::test::sampleDir() + QStringLiteral("/Hlv1450ver5_9.s19");
}

} // namespace

TEST(Console, UsageErrorsExitWithTwo)
{
    const QString file = sample();
    const QStringList cases[] = {
        {"--file", file, "--model", "Halvern 750"},
        {"--port", "0", "--file", file},
        {"--port", "17", "--file", file},
        {"--port", "x", "--file", file},
        {"--port", "1", "--file"},
        {"--port", "1", "--file", file, "--processor", "both"},
        {"--port", "1", "--file", file, "--colour"},
        {"--port", "1", "--file", file, "--time-scale", "0.05"}, // timing is no option
    };
    for (const QStringList &args : cases) {
        const ConsoleRun run = runConsole(args, QString());
        EXPECT_EQ(run.exitCode, 2) << qPrintable(args.join(' '));
        EXPECT_TRUE(run.err.contains(QLatin1String("usage:"))) << qPrintable(run.err);
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST(Console, AnUpdatePrintsLampsProgressAndTheCompletionMessage)
{
    SimProcess sim({QStringLiteral("--boot"), QStringLiteral("Q")});
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorText());
    const ConsoleRun run = runConsole({"--port", "1", "--file", sample()}, sim.link());
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.out + run.err);
    EXPECT_TRUE(run.err.contains(QLatin1String("every wait scaled by 0.05 (ROMWRIGHT_TEST_TIME_SCALE)")))
        << qPrintable(run.err);

    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList lamps = {"Port: green",          "File: green",
                               "Communication: green", "Flash erase complete: green",
                               "Updating: green",      "Program: green"};
    qsizetype at = -1;
    for (const QString &lamp : lamps) {
        const qsizetype next = lines.indexOf(lamp, at + 1);
        EXPECT_GT(next, at) << qPrintable(lamp) << " in order in\n" << qPrintable(run.out);
        at = next;
    }
    EXPECT_FALSE(run.out.contains(QLatin1String("Updating: red"))) << "no blinking";
    // Not a terminal: a line at every tenth, the last at 100 %.
    const QStringList progress = lines.filter(QRegularExpression(QStringLiteral("^Firmware: +\\d+%")));
    EXPECT_GE(progress.size(), 10);
    EXPECT_LE(progress.size(), 11);
    EXPECT_TRUE(progress.last().startsWith(QLatin1String("Firmware: 100%")));
    EXPECT_EQ(lines.last(),
              QStringLiteral("Romwright: The firmware update is complete. The Romwright will now exit."));
    EXPECT_TRUE(sim.waitForExit(std::chrono::seconds(5)));
}

TEST(Console, AnUpdateGoesOnToItsEndWhenItsOutputIsClosed)
{
    SimProcess sim({QStringLiteral("--boot"), QStringLiteral("Q")});
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorText());
    // Output and errors both into `head -1`, which quits after the first line.
    QProcess romwright;
    QProcess head;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ROMWRIGHT_PORTS"), sim.link());
    env.insert(QStringLiteral("ROMWRIGHT_TEST_TIME_SCALE"), QStringLiteral("0.05"));
    romwright.setProcessEnvironment(env);
    romwright.setProcessChannelMode(QProcess::MergedChannels);
    romwright.setStandardOutputProcess(&head);
    head.start(QStringLiteral("head"), {QStringLiteral("-1")});
    romwright.start(romwright::test::programDir() + QStringLiteral("/romwright"),
                    {"--console", "--port", "1", "--file", sample()});
    ASSERT_TRUE(head.waitForFinished(10000));
    EXPECT_EQ(head.readAllStandardOutput().count('\n'), 1);
    ASSERT_TRUE(romwright.waitForFinished(60000));
    EXPECT_EQ(romwright.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(romwright.exitCode(), 0);
    // The scanner got its final "R": the whole pass went out.
    EXPECT_TRUE(sim.waitForExit(std::chrono::seconds(5)));
}

TEST(Console, ExitStatusAndWhatItSays)
{
    struct Case {
        const char *name;
        QStringList simArgs; // empty: no simulator
        QString ports;       // "%1" is the simulator's link
        QStringList args;
        int exitCode;
        bool onError; // the text is on standard error, else on standard output
        QString expected;
        QString timeScale = QStringLiteral("0.05");
    };
    const QStringList file{"--port", "1", "--file", sample()};
    const Case cases[] = {
        {"port without a device",
         {"--boot", "Q"},
         ",%1",
         file,
         1,
         false,
         "Communications Failure: The communication port you have selected is not installed"},
        {"scanner stops answering",
         {"--boot", "Q", "--stall-after", "2"},
         "%1",
         file,
         1,
         false,
         "Communications Failure: The scanner stopped responding during the update."},
        {"no Enter at the power-cycle prompt",
         {"--boot", "Z"},
         "%1",
         file,
         1,
         false,
         "Standard input ended before Enter was pressed: the update stops here.",
         "0.2"},
        {"no file: the newest for the model",
         {"--boot", "Q"},
         "%1",
         {"--port", "1", "--model", "Halvern 1450"},
         0,
         false,
         "Firmware file: Hlv1450ver5_9.s19\n"},
        {"no file and no model",
         {},
         "",
         {"--port", "1"},
         1,
         true,
         "no firmware file for an unknown scanner (give --model) in "},
        // No Jorlith firmware of the 128-byte kind ships with the program.
        {"no file for the model",
         {"--boot", "A", "--start-in-boot"},
         "%1",
         {"--port", "1", "--model", "Jorlith 750"},
         1,
         true,
         "no firmware file for the Jorlith 750"},
        // The family tells by the name, before any port is opened.
        {"another family",
         {},
         "",
         file + QStringList{"--model", "Jorlith 750"},
         1,
         true,
         "romwright: The file Hlv1450ver5_9.s19 is firmware for the Halvern 1450 with the 64-byte boot "
         "software, "
         "but the scanner is a Jorlith 750. The scanner was not changed.\nromwright: give --force"},
        // The boot software tells by the identification.
        {"another boot software",
         {"--boot", "A", "--start-in-boot"},
         "%1",
         file + QStringList{"--model", "Halvern 1450"},
         1,
         true,
         "but the scanner is a Halvern 1450 with the 128-byte boot software. The scanner was not changed."},
        {"another boot software, forced",
         {"--boot", "A", "--start-in-boot"},
         "%1",
         file + QStringList{"--model", "Halvern 1450", "--force"},
         0,
         false,
         "Program: green"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<SimProcess> sim;
        if (!c.simArgs.isEmpty()) {
            sim.emplace(c.simArgs);
            ASSERT_TRUE(sim->isReady()) << qPrintable(sim->errorText());
        }
        const ConsoleRun run =
            runConsole(c.args, sim ? c.ports.arg(sim->link()) : QString(), {}, true, QString(), c.timeScale);
        EXPECT_EQ(run.exitCode, c.exitCode) << qPrintable(run.out + run.err);
        EXPECT_TRUE((c.onError ? run.err : run.out).contains(c.expected)) << qPrintable(run.out + run.err);
        if (c.exitCode != 0) {
            EXPECT_FALSE(run.err.isEmpty());
        }
    }
}

TEST(Console, WithoutAFileTheNewestFirmwareForTheScannerIsFound)
{
    SimProcess sim({QStringLiteral("--boot"), QStringLiteral("Q")});
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorText());
    const ConsoleRun run =
        runConsole({"--port", "1", "--model", "HALVERN"}, sim.link()); // any listed spelling, any case
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.out + run.err);
    EXPECT_TRUE(run.out.contains(QLatin1String("Firmware file: Hlv1450ver5_9.s19\n"))) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains(QLatin1String("Program: green"))) << qPrintable(run.out);
}

TEST(Console, WithoutAFileAndNothingToGoByItStopsWithOne)
{
    const ConsoleRun unknown = runConsole({"--port", "1"}, QString());
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(QLatin1String("no firmware file for an unknown scanner (give --model)")))
        << qPrintable(unknown.err);
    EXPECT_TRUE(unknown.err.contains(QLatin1String("name one with --file")));

    // No Jorlith firmware of the 128-byte kind ships with the program.
    SimProcess sim({QStringLiteral("--boot"), QStringLiteral("A"), QStringLiteral("--start-in-boot")});
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorText());
    const ConsoleRun jorlith = runConsole({"--port", "1", "--model", "jorlith 750"}, sim.link());
    EXPECT_EQ(jorlith.exitCode, 1) << qPrintable(jorlith.out + jorlith.err);
    EXPECT_TRUE(jorlith.err.contains(QLatin1String("no firmware file for the Jorlith 750")))
        << qPrintable(jorlith.err);
}

// As nobody on the simulator's terminal: as it was made (for its owner only),
// or opened to the group dialout.
TEST(Console, APortThisUserMayNotOpenIsExplainedAndEndsWithOne)
{
    const QString setpriv = romwright::test::setprivProgram();
    const group *dialout = ::getgrnam("dialout");
    if (setpriv.isEmpty() || !dialout)
        GTEST_SKIP() << "needs root, setpriv and the group dialout";
    const struct {
        const char *name;
        QStringList args;
        bool openToDialout;
        const char *advice;
    } cases[] = {
        {"ports searched", {}, false, "udev rule"},
        {"--port given", {"--port", "1", "--file", sample()}, true, "sudo usermod -aG dialout $USER"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim;
        ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorText());
        const QByteArray terminal = sim.terminal().toLocal8Bit();
        if (c.openToDialout) {
            ASSERT_EQ(::chown(terminal.constData(), static_cast<uid_t>(-1), dialout->gr_gid), 0);
            ASSERT_EQ(::chmod(terminal.constData(), 0660), 0);
        }
        const ConsoleRun run = runConsole(c.args, sim.terminal(), {}, true, setpriv);
        EXPECT_EQ(run.exitCode, 1) << qPrintable(run.out + run.err);
        EXPECT_TRUE(
            run.out.contains(QStringLiteral("Serial Port Permission: You do not have permission to open "
                                            "the serial port COM1 (%1).")
                                 .arg(sim.terminal())))
            << qPrintable(run.out);
        EXPECT_TRUE(run.out.contains(QLatin1String(c.advice))) << qPrintable(run.out);
        EXPECT_FALSE(run.out.contains(QLatin1String("not installed or in use")));
    }
}
