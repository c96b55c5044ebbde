// romwright --console as a user runs it: a real process on the simulator's
// terminal, judged by its output and exit status.
#include "support/ConsoleRun.h"
#include "support/SimClient.h"
#include "support/SimProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace romwright::test;

TEST(Console, ExitStatusAndWhatItSays)
{
    using namespace std::chrono_literals;
    const QString question =
        QStringLiteral("Choose Your Scanner: 1 Halvern 1450, 2 Jorlith 750, 3 Wexmoor 3650, 0 Exit?");
    const QString done =
        QStringLiteral("Romwright: The firmware update is complete. The Romwright will now exit.");
    struct Case {
        const char *name;
        QStringList sim; // empty: no simulator
        QString ports;   // "%1" is the simulator's link
        QStringList args;
        int exitCode;
        QStringList out; // in standard output, in this order
        QStringList err; // in standard error
        QByteArray input = {};
        int questions = 0; // the chooser's, on standard output
        QString timeScale = QStringLiteral("0.05");
        QStringList environment = {};
        QStringList neverSent = {}; // bytes the simulator's transcript must not show
    };
    const QStringList file{"--file", kHalvernSample};
    const QStringList port1 = QStringList{"--port", "1"} + file;
    // The sample cut where its 200th line ends, as a copy that stopped early leaves it.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString cut = dir.filePath(QStringLiteral("cut.s19"));
    {
        QProcess head;
        head.setStandardOutputFile(cut);
        head.start(QStringLiteral("head"), {"-n", "200", kHalvernSample});
        ASSERT_TRUE(head.waitForFinished(5000) && head.exitCode() == 0);
    }
    const QStringList halvern1 = port1 + QStringList{"--model", "Halvern 1450"};
    // A Jorlith release copied under another name, and linked under a Halvern release's name.
    QTemporaryDir folder;
    const QString renamed = folder.filePath("update.s19"), linked = folder.filePath("Hlv1450ver7_0.s19");
    ASSERT_TRUE(QFile::copy(sampleDir() + "/JL750Ver6_0.s19", renamed));
    ASSERT_TRUE(QFile::link(renamed, linked));
    const QStringList halvernPort{"--port", "1", "--model", "halvern", "--file"};
    // clang-format off
    const Case cases[] = {
        {"no file: the newest for the model, in any spelling", {"--boot", "Q"}, "%1",
         {"--port", "1", "--model", "HALVERN"}, 0,
         {"Port: green\n", "Firmware file: Hlv1450ver5_9.s19\n", "File: green\n", "Communication: green\n",
          "Flash erase complete: green\n", "Firmware:  50%", "Firmware: 100%", "Updating: green\n", "Program: green\n"},
         {}},
        // An administrator's folder for every user; a relative entry is no folder.
        {"no file: firmware and loaders from the machine's data folder", {"--boot", "Q"}, "%1",
         {"--port", "1", "--model", "halvern"}, 0, {"Firmware file: Hlv1450ver5_9.s19\n", "Program: green\n"}, {},
         {}, 0, "0.05", {"XDG_DATA_HOME=/nonexistent", "XDG_DATA_DIRS=share:" + sampleDir().section('/', 0, -2)}},
        // Neither the record of the update nor its log line can be written: a warning each, the update completes.
        {"a state folder that cannot be written", {"--boot", "Q"}, "%1", halvern1, 0, {"Program: green\n"},
         {"romwright: could not write /dev/null/romwright/unfinished-port1.json; if this update is interrupted",
          "romwright: could not write the update log at /dev/null/romwright/updates.jsonl\n"},
         {}, 0, "0.05", {"XDG_STATE_HOME=/dev/null"}},
        {"port without a device", {}, ",", halvern1, 1,
         {"Port: red\n", "Communications Failure: The communication port you have selected is not installed"}, {}},
        {"no Enter at the power-cycle prompt", {"--boot", "Z"}, "%1", halvern1, 1,
         {"Standard input ended before Enter was pressed. The update was interrupted. The scanner has its new "
          "boot software but no firmware: switch it off and on and run the update again to finish it."},
         {}, {}, 0, "0.2"},
        {"no file and no model", {}, "", {"--port", "1"}, 1, {},
         {"no firmware file for an unknown scanner (give --model) in ", "name one with --file"}},
        // The family tells by the name, before any port is opened.
        {"another family", {}, "", port1 + QStringList{"--model", "Jorlith 750"}, 1, {},
         {"romwright: The file Hlv1450ver5_9.s19 is firmware for the Halvern 1450 with the 64-byte boot software, "
          "but the scanner is a Jorlith 750. The scanner was not changed.\nromwright: give --force"}},
        // The boot software tells by the identification.
        {"another boot software", {"--boot", "A", "--start-in-boot"}, "%1",
         port1 + QStringList{"--model", "Halvern 1450"}, 1, {},
         {"but the scanner is a Halvern 1450 with the 128-byte boot software. The scanner was not changed.",
          "romwright: The scanner is waiting in its boot software and cannot scan until it is switched off and on.\n"}},
        // The header tells what the name does not, or says otherwise: nothing after the identification is sent.
        {"a Jorlith release renamed", {"--boot", "Q"}, "%1", halvernPort + QStringList{renamed}, 1, {},
         {"romwright: The file update.s19 is firmware for the Jorlith 750 with the 64-byte boot software, but the "
          "scanner is a Halvern 1450. The scanner was not changed.\nromwright: give --force"}},
        {"a Jorlith release linked as a Halvern one", {"--boot", "Q"}, "%1", halvernPort + QStringList{linked}, 1, {},
         {"romwright: The name of the file Hlv1450ver7_0.s19 says it is firmware for the Halvern 1450 with the "
          "64-byte boot software, but its header \"JL750Ver6_0.s19\" says the Jorlith 750 with the 64-byte boot "
          "software. The scanner was not changed."}},
        // A port without a model: the chooser's question comes before the check.
        {"no model: asked before the check", {"--boot", "Q"}, "%1", port1, 0, {question}, {}, "halvern\n", 1},
        {"no model and no answer", {"--boot", "Q"}, "%1", port1, 1, {"\nStandard input ended without a choice.\n"},
         {"romwright: no scanner model chosen: the scanner was not changed"}, {}, 1},
        {"another boot software, forced", {"--boot", "A", "--start-in-boot"}, "%1",
         port1 + QStringList{"--model", "Halvern 1450", "--force"}, 0, {"Program: green"}, {}},
        // A model given with its port is asked of the scanner first; one that does not answer is taken as named.
        {"another model, forced", {"--model", "halvern"}, "%1", {"--port", "1", "--model", "jorlith", "--force"}, 0,
         {"Firmware file: JL750Ver6_0.s19\n", "Program: green"}, {}},
        {"a silent scanner, taken as named", {"--silent"}, "%1", {"--port", "1", "--model", "jorlith"}, 0,
         {"Firmware file: JL750Ver6_0.s19\n", "Program: green"}, {}},
        // Without --port the ports are searched and the chooser asks on the terminal.
        {"found on port 2, its newest firmware", {"--model", "jorlith"}, ",%1", {}, 0,
         {"Scanner: Jorlith 750 on port 2\n", "Firmware file: JL750Ver6_0.s19\n"}, {}},
        {"nothing on any port", {}, ",", {}, 1, {"Scanner Not Found\n"},
         {"switch it off and on and run the update again (its boot software then greets and you are asked which "
          "model it is), or name its port and model: romwright --console --port N --model NAME\n"}},
        {"nothing on any port, one held by another program", {"--held"}, ",%1", {}, 1, {"Scanner Not Found\n"},
         {"romwright: The serial port COM2 (", ") is in use by another application. Close the application"}},
        {"a bootloader, the model given in advance", {"--boot-prompt", "Q"}, ",%1",
         file + QStringList{"--model", "wexmoor", "--force"}, 0, {"Scanner: Wexmoor 3650 on port 2\n",
         " will now exit. Update the BarCode processor as well: start the Romwright again and choose BarCode.\n"}, {}},
        {"a bootloader, the model typed after a wrong answer", {"--boot-prompt", "A"}, ",%1",
         file + QStringList{"--force"}, 0, {"Scanner: Jorlith 750 on port 2\n"}, {}, "9\n2\n", 2},
        {"a bootloader, Exit typed", {"--boot-prompt", "Q"}, ",%1", file, 1, {}, {"ended in the scanner chooser"},
         "0\n", 1},
        // Damaged: nothing after the identification reaches the scanner.
        {"a file cut short", {"--boot", "Q"}, "%1", {"--port", "1", "--model", "halvern", "--file", cut, "--yes"}, 1,
         {"File: red\n", "Romwright: The file cut.s19 is damaged and cannot be used (line 200: the file ends without an end record: "
          "it may have been cut short).\n"}, {}, {}, 0, "0.05", {}, {"in  0x7A 'z'", "in  0x45 'E'", "in  0x47 'G'"}},
        {"a bootloader, no answer at all", {"--boot-prompt", "Q"}, ",%1", file, 1,
         {"\nStandard input ended without a choice", "Scanner: model not known on port 2\n"},
         {"no scanner model chosen"}, {}, 1},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<SimProcess> sim;
        std::optional<SimClient> holder; // "--held": another program holds the simulator's terminal
        if (!c.sim.isEmpty()) {
            sim.emplace(c.sim.first() == QLatin1String("--held") ? QStringList() : c.sim);
            ASSERT_TRUE(sim->isReady()) << qPrintable(sim->errorText());
            if (c.sim.first() == QLatin1String("--held")) {
                ASSERT_TRUE(holder.emplace(sim->link()).isOpen());
            }
        }
        const ConsoleRun run =
            runRomwright(QStringList{"--console"} + c.args, sim ? c.ports.arg(sim->link()) : c.ports, c.input,
                         c.timeScale, {}, c.environment);
        SCOPED_TRACE(("standard output:\n" + run.out + "standard error:\n" + run.err).toStdString());
        EXPECT_EQ(run.exitCode, c.exitCode);
        qsizetype at = 0; // the out texts in order
        for (const QString &text : c.out) {
            const qsizetype next = run.out.indexOf(text, at);
            EXPECT_GE(next, 0) << qPrintable(text);
            at = next < 0 ? at : next + text.size();
        }
        for (const QString &text : c.err)
            EXPECT_TRUE(run.err.contains(text)) << qPrintable(text);
        EXPECT_EQ(run.out.count(question), c.questions);
        if (!c.neverSent.isEmpty()) {
            sim->stop();
            const QString transcript = sim->transcript();
            EXPECT_TRUE(transcript.contains(QLatin1String("in  0x52 'R'"))) << qPrintable(transcript);
            for (const QString &text : c.neverSent)
                EXPECT_FALSE(transcript.contains(text)) << qPrintable(text);
        }
        // Not a terminal: a progress line at every tenth, no blinking lamp.
        EXPECT_LE(run.out.count(QLatin1String("Firmware: ")), 11);
        EXPECT_FALSE(run.out.contains(QLatin1String("Updating: red")));
        // Standard error opens with the time scale's note; a completed update adds nothing but its warnings.
        EXPECT_TRUE(run.err.startsWith("romwright: every wait scaled by " + c.timeScale +
                                       " (ROMWRIGHT_TEST_TIME_SCALE)"));
        if (sim && c.exitCode == 1 && run.err.contains(QLatin1String("not changed"))) {
            sim->stop();
            const QString in =
                sim->transcript().split(QLatin1Char('\n')).filter(QLatin1String(" in ")).join('\n');
            for (const char *sent : {"'z'", "'E'", "'G'"})
                EXPECT_FALSE(in.contains(QLatin1String(sent))) << sent;
        }
        if (c.exitCode == 0) {
            EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1 + c.err.size());
            EXPECT_TRUE(run.out.contains(done) && run.out.endsWith(QLatin1Char('\n')));
            // The scanner got its final "R": the whole pass went out.
            EXPECT_TRUE(sim && sim->waitForExit(5s));
        }
    }
}

// The scanner on the port given answers as another model than the one given:
// refused before it hears more than its identity query, in text and in JSON.
TEST(Console, AScannerAnsweringAsAnotherModelHearsOnlyItsIdentityQuery)
{
    const QString refusal = QStringLiteral(
        "The scanner on port 1 answers as Halvern 1450, not Jorlith 750. The scanner was not changed.");
    for (const bool json : {false, true}) {
        SCOPED_TRACE(json);
        SimProcess sim({"--model", "halvern"});
        ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorText());
        const ConsoleRun run =
            runRomwright(QStringList{"--console", "--yes", "--port", "1", "--model", "jorlith"} +
                             (json ? QStringList{"--json"} : QStringList{}),
                         sim.link());
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(json ? run.out.contains("{\"event\":\"error\",\"text\":\"" + refusal + "\"}")
                         : run.err.contains("romwright: " + refusal + "\n"))
            << qPrintable(run.out + run.err);
        EXPECT_FALSE(run.out.contains(QLatin1String("Port:"))) << qPrintable(run.out);
        sim.stop();
        QStringList heard;
        for (const QString &line : sim.transcript().split(QLatin1Char('\n')))
            if (line.simplified().section(QLatin1Char(' '), 1, 1) == QLatin1String("in"))
                heard << line.simplified().section(QLatin1Char(' '), 2, 2);
        EXPECT_EQ(heard.join(QLatin1Char(' ')),
                  QStringLiteral("0x56 0x0D 0x0A")); // "V" CR LF, answered at once
    }
}

TEST(Console, AnUpdateGoesOnToItsEndWhenItsOutputIsClosed)
{
    SimProcess sim({QStringLiteral("--boot"), QStringLiteral("Q")});
    ASSERT_TRUE(sim.isReady()) << qPrintable(sim.errorText());
    // Output and errors both into `head -1`, which quits after the first line.
    QProcess romwright;
    QProcess head;
    setPortsAndTimeScale(romwright, sim.link());
    romwright.setProcessChannelMode(QProcess::MergedChannels);
    romwright.setStandardOutputProcess(&head);
    head.start(QStringLiteral("head"), {QStringLiteral("-1")});
    romwright.start(kProgram, {"--console", "--port", "1", "--model", "halvern", "--file", kHalvernSample});
    ASSERT_TRUE(head.waitForFinished(10000));
    EXPECT_EQ(head.readAllStandardOutput().count('\n'), 1);
    ASSERT_TRUE(romwright.waitForFinished(60000));
    EXPECT_EQ(romwright.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(romwright.exitCode(), 0);
    EXPECT_TRUE(sim.waitForExit(std::chrono::seconds(5)));
}

// As nobody on the simulator's terminal: as it was made (for its owner only),
// or opened to the group dialout.
TEST(Console, APortThisUserMayNotOpenIsExplainedAndEndsWithOne)
{
    const QString setpriv = setprivProgram();
    const group *dialout = ::getgrnam("dialout");
    if (setpriv.isEmpty() || !dialout)
        GTEST_SKIP() << "needs root, setpriv and the group dialout";
    const struct {
        const char *name;
        QStringList args;
        bool openToDialout;
        const char *advice;
    } cases[] = {
        {"ports searched", {"--console"}, false, "udev rule"},
        {"--port given",
         {"--console", "--port", "1", "--file", kHalvernSample},
         true,
         "sudo usermod -aG dialout $USER"},
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
        const ConsoleRun run = runRomwright(c.args, sim.terminal(), {}, QStringLiteral("0.05"), setpriv);
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
