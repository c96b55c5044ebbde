// The program as a script or a new user meets it: its command-line
// conventions, its JSON output and what a signal does to a running update.
#include "app/update/UnfinishedUpdate.h"
#include "app/update/UpdateMessages.h"
#include "platform/FileSystem.h"
#include "support/ConsoleRun.h"
#include "support/SimProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

using namespace romwright::test;

TEST(CommandLine, HelpVersionAndUnknownOptions)
{
    // Every front end's usage is in the help.
    const QString help = QStringLiteral("^usage: romwright \\[FILE\\](?s).*usage: romwright --console.*"
                                        "usage: romwright --info.*usage: romwright --history.*--version");
    const QString file = kHalvernSample;
    // A usage error is one line, then where the help is.
    const QString usage = QStringLiteral("\\nsee romwright --help\\n$");
    const QString port = QStringLiteral("^romwright: --port takes a port number from 1 to 256\\n");
    const QString ports = QStringLiteral("^romwright: --port takes port numbers from 1 to 256");
    const struct {
        QStringList arguments;
        int exitCode;
        QString expected; // a regular expression on standard output after 0, else on standard error
    } cases[] = {
        // clang-format off
        {{"--help"}, 0, help},
        {{"--console", "--port", "1", "--help"}, 0, help},
        {{"--info", "-h"}, 0, help},
        {{"--version"}, 0, QStringLiteral("^romwright \\d+\\.\\d+\\.\\d+\\n$")},
        {{"--bogus"}, 2, QStringLiteral("^romwright: unknown option --bogus\\n")},
        {{"-x", "file.s19"}, 2, QStringLiteral("unknown option -x")},
        // The toolkit's window options pass, with their values.
        {{"-style", "fusion", "--reverse", "-q"}, 2, QStringLiteral("unknown option -q\\n")},
        {{"--info", "-x"}, 2, QStringLiteral("unknown option -x\\n")},
        {{"--console", "-x"}, 2, QStringLiteral("unknown argument: -x")},
        {{"--console", "--file", file, "--model", "Halvern 750"}, 2, usage},
        // Only a model the chooser's question knows; never another option as a value.
        {{"--console", "--port", "1", "--model", "foo"}, 2, QStringLiteral("^romwright: --model takes Halvern 1450, "
         "Jorlith 750 or Wexmoor 3650 \\(also halvern, jorlith or wexmoor, or the chooser's numbers 1 to 3\\), not foo\\n")},
        {{"--console", "--model", "--yes"}, 2, QStringLiteral("^romwright: --model takes .*, not the option --yes\\n")},
        {{"--console", "--port", "1", "--model", "halvern", "--processor", "barcode"}, 2,
         QStringLiteral("^romwright: --processor barcode: the Halvern 1450 has no BarCode processor\\n")},
        {{"--trace", "a", "--trace", "b"}, 2, QStringLiteral("^romwright: --trace is given twice\\n")},
        {{"--history", "--json", "--json"}, 2, QStringLiteral("^romwright: --json is given twice\\n")},
        {{"--console", "--port", "1,1", "--yes"}, 2, QStringLiteral("^romwright: --port names port 1 twice")},
        {{"--console", "--port", "0,3", "--yes"}, 2, ports},
        {{"--console", "--port", "1,x", "--yes"}, 2, ports},
        {{"--console", "--port", "3,", "--yes"}, 2, ports},
        {{"--console", "--port", "2,257", "--yes"}, 2, ports},
        {{"--console", "--port", "0", "--file", file}, 2, port},
        {{"--console", "--port", "257", "--file", file}, 2, port},
        // The highest port there is: taken, and found to have no device here.
        {{"--console", "--check", "--port", "256", "--model", "halvern", "--file", file}, 1,
         QStringLiteral("\nromwright: the update would not go ahead: port 256 has no device\n$")},
        {{"--console", "--port", "COM257", "--file", file}, 2, port},
        {{"--console", "--port", "COM17", "--file", file}, 2, QStringLiteral("^romwright: --port: COM17 is none of the ports")},
        {{"--console", "--port", "/dev/null", "--file", file}, 2, QStringLiteral("^romwright: --port: /dev/null is no serial port")},
        {{"--console", "--port", "x", "--file", file}, 2, port},
        {{"--console", "--file", file, "--port"}, 2, QStringLiteral("--port takes a port number")},
        {{"--console", "--port", "1", "--file", file, "--port", "1"}, 2, QStringLiteral("--port is given twice\n")},
        {{"--info", file, "--target", "64", "--target", "128"}, 2, QStringLiteral("--target is given twice\n")},
        {{"--console", "--port", "1", "--file", file, "--processor", "both"}, 2, usage},
        {{"--console", "--port", "1", "--file", file, "--time-scale", "0.05"}, 2, usage}, // timing is no option
        {{"--trace"}, 2, QStringLiteral("^romwright: --trace takes the path of the file to write\\n")},
        {{"--trace", "out.txt", "-x"}, 2, QStringLiteral("^romwright: unknown option -x\\n")}, // the window takes --trace OUT
        {{"--console", "--port", "1", "--file", file, "--trace"}, 2, usage},
        {{"--console", "--forget", "257"}, 2, QStringLiteral("^romwright: --forget takes a port number from 1 to 256, or all\n")},
        {{"--console", "--forget", "1", "--yes"}, 2, QStringLiteral("^romwright: --forget takes no --yes\n")},
        {{"--history", "--port", "1"}, 2, QStringLiteral("^romwright: unknown argument: --port\\n")},
        // clang-format on
    };
    for (const auto &c : cases) {
        const ConsoleRun run = runRomwright(c.arguments);
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString() + ": " +
                     (run.out + run.err).toStdString());
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE((c.exitCode == 0 ? run.out : run.err).contains(QRegularExpression(c.expected)));
        // Help and a usage error: the other stream stays empty.
        EXPECT_TRUE(c.exitCode == 1 || (c.exitCode == 0 ? run.err : run.out).isEmpty());
        if (c.exitCode == 2) {
            EXPECT_TRUE(run.err.contains(
                QRegularExpression(QStringLiteral("^romwright: [^\\n]*\\nsee romwright --help\\n$"))));
        }
    }
}

// Every output a user names (each front end's trace, --info's image, each
// scanner's trace of a several-scanner run) goes only to a file, old or new,
// that is no input: never a device (above all the scanner's own terminal,
// under any of its names), a FIFO, a folder or a file the program reads.
// Each is refused with a usage error before a port is opened, the input as
// it was, and the scanner hears nothing.
TEST(CommandLine, OutputsGoOnlyToFilesThatAreNoInput)
{
    QTemporaryDir dir;
    QTemporaryDir state;
    SimProcess sim;
    const QString firmware = dir.filePath("fw.s19");
    const QString link = dir.filePath("link.txt");
    const QString records = state.path() + "/romwright";
    const QString kept = dir.filePath("kept.S20"); // firmware kept elsewhere
    const QString fifo = dir.filePath("fifo");
    const QString toTerminal = dir.filePath("to-terminal");
    const QString old = dir.filePath("old.txt");
    ASSERT_TRUE(QFile::copy(kHalvernSample, firmware) && QFile::link(firmware, link) &&
                QFile::copy(kHalvernSample, kept) && ::mkfifo(QFile::encodeName(fifo), 0644) == 0 &&
                QFile::link(sim.terminal(), toTerminal) && romwright::writeWholeFile(old, "old"));
    ASSERT_TRUE(QDir().mkpath(records + "/transcripts"));
    ASSERT_TRUE(QFile::copy(kHalvernSample, records + "/updates.jsonl"));
    const QString data = sampleDir(); // the user's data folder in the suite
    const QString device = QStringLiteral("is the device of port 2, not a file");
    const struct {
        QString path;
        QString why; // after the path in the refusal; empty: written
    } cases[] = {
        {old, {}},
        {dir.filePath("new.txt"), {}},
        {link, "would overwrite the firmware file " + firmware},
        {dir.filePath("none/../fw.s19"), "would overwrite the firmware file " + firmware},
        {data + "/bootloader.sss", "would overwrite the loader file " + data + "/bootloader.sss"},
        {data + "/Hlv1450ver9_9.S19",
         "would overwrite a firmware file in " + data + ", where firmware is looked for"},
        {kept, "would overwrite the S-record file " + kept},
        {records + "/updates.jsonl", "would overwrite the program's own records in " + records},
        {records + "/transcripts/next.txt", "would overwrite the program's own records in " + records},
        {dir.filePath("none/new.txt"), "is in a folder that does not exist"},
        {"/dev/null", "is a device, not a file"},
        {fifo, "is a FIFO, not a file"},
        {dir.path(), "is a folder, not a file"},
        {sim.link(), device},
        {sim.terminal(), device},
        {toTerminal, device},
    };
    const auto refused = [&](const QStringList &arguments, const QString &option, const QString &out,
                             const QString &why) {
        // Port 1 has no device: a trace that is accepted begins, and the run ends there.
        const bool input = why.startsWith(QLatin1String("would"));
        const QByteArray before = input ? fileBytes(out) : QByteArray();
        const ConsoleRun run = runRomwright(arguments, "," + sim.link(), {}, QStringLiteral("0.05"), {},
                                            {"XDG_STATE_HOME=" + state.path()});
        SCOPED_TRACE(arguments.join(' ').toStdString() + ": " + (run.out + run.err).toStdString());
        if (why.isEmpty()) {
            EXPECT_EQ(run.exitCode, option == "--image" ? 0 : 1);
            EXPECT_EQ(fileBytes(out).size() == 65536, option == "--image");
            EXPECT_EQ(fileBytes(out).startsWith("# romwright trace"), option == "--trace");
            return;
        }
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(
            run.err.endsWith(QStringLiteral("romwright: %1 %2 %3; name %4 file\nsee romwright --help\n")
                                 .arg(option, out, why, QLatin1String(input ? "another" : "a"))));
        EXPECT_TRUE(!input || fileBytes(out) == before);
    };
    for (const auto &c : cases) {
        QFile::remove(dir.filePath("new.txt"));
        refused({"--console", "--port", "1", "--file", firmware, "--trace", c.path}, "--trace", c.path,
                c.why);
        refused({"--info", firmware, "--image", c.path}, "--image", c.path, c.why);
        if (!c.why.isEmpty()) // else the window would open
            refused({"--trace", c.path, firmware + ",2,Halvern 1450"}, "--trace", c.path, c.why);
    }
    // A scanner's own trace: OUT-port2 for OUT.
    const QString second = dir.filePath("fw-port2");
    ASSERT_TRUE(QFile::copy(firmware, second));
    refused({"--console", "--port", "1,2", "--file", second, "--trace", dir.filePath("fw")}, "--trace",
            second, "would overwrite the firmware file " + second);
    EXPECT_FALSE(QFileInfo::exists(data + "/Hlv1450ver9_9.S19"));
    sim.stop();
    EXPECT_FALSE(sim.transcript().contains(QLatin1String(" in  0x"))) << qPrintable(sim.transcript());
}

// Ctrl-C, or a kill that leaves no time for anything (a dead battery), at
// 30 % of the firmware pass leaves the scanner in its boot software, where it
// no longer answers a search; so does Ctrl-C once start-up has restarted it,
// before anything in it changed. Running the program again with nothing but
// --yes, as the message says, finds the record of the update and completes
// the flash. The update Ctrl-C cut short at 30 % named its file relative to
// its own folder; the run again from another folder finds it all the same.
// Ctrl-C while the new firmware is asked its identity says so: the update
// itself is complete.
TEST(ConsoleInterrupt, ASignalEndsTheUpdateAndRunningItAgainFinishesIt)
{
    using namespace std::chrono_literals;
    using namespace romwright::messages;
    const struct {
        int signal;
        const char *after; // what the first run has printed when the signal comes
        const char *said;  // the first run's last words; nullptr for a kill
        bool named;        // the first run names its file
        QString timeScale;
        QStringList sim = {QStringLiteral("--boot"), QStringLiteral("Q"), QStringLiteral("--line-rate")};
    } rows[] = {
        // clang-format off
        {SIGINT, "Firmware:  30%", kInterruptedNoFirmware, true, "0.05"},
        {SIGKILL, "Firmware:  30%", nullptr, false, "0.05"},
        // A late greeting: the signal ends start-up's wait for it, before PROGRAM's request.
        {SIGINT, "Port: green", kInterruptedRestarted, false, "1", {"--boot", "Q", "--greet-late", "150"}},
        {SIGINT, "Program: green", kInterruptedIdentity, false, "0.2", {"--boot", "Q", "--silent-after-update"}},
        // clang-format on
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.after) + " " + ::strsignal(row.signal));
        SimProcess sim(row.sim);
        const QTemporaryDir state, work;
        const QStringList arguments = {"--console", "--yes"};
        const QString firmware = work.filePath(QStringLiteral("fw/Hlv1450ver5_9.s19"));
        ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("fw")) && QFile::copy(kHalvernSample, firmware));
        QProcess first;
        setPortsAndTimeScale(first, sim.link(), row.timeScale, state.path());
        first.setWorkingDirectory(work.path());
        first.start(kProgram,
                    arguments + (row.named ? QStringList{"--file", "fw/Hlv1450ver5_9.s19"} : QStringList{}));
        ASSERT_TRUE(first.waitForStarted(5000));
        QString out;
        const QDeadlineTimer deadline(60000);
        while (!out.contains(QLatin1String(row.after)) && !deadline.hasExpired() &&
               first.state() == QProcess::Running) {
            first.waitForReadyRead(1000);
            out += QString::fromLocal8Bit(first.readAllStandardOutput());
        }
        ASSERT_TRUE(out.contains(QLatin1String(row.after))) << qPrintable(out);
        ::kill(pid_t(first.processId()), row.signal);
        ASSERT_TRUE(first.waitForFinished(10000));
        out += QString::fromLocal8Bit(first.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(first.readAllStandardError());
        if (row.said) {
            EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(first.exitCode(), row.said == kInterruptedIdentity ? 0 : 128 + row.signal)
                << qPrintable(out + err);
            EXPECT_TRUE(err.endsWith(QStringLiteral("romwright: %1\n").arg(QLatin1String(row.said))))
                << qPrintable(err);
        }
        if (row.said == kInterruptedIdentity) { // nothing is left to finish
            EXPECT_TRUE(out.contains(QLatin1String("The firmware update is complete.")));
            EXPECT_EQ(QDir(state.path() + "/romwright").entryList({"unfinished-*"}, QDir::Files),
                      QStringList());
            continue;
        }
        EXPECT_FALSE(out.contains(QLatin1String("Firmware:  50%"))) << qPrintable(out);
        ASSERT_TRUE(sim.running());

        const ConsoleRun second = runRomwright(arguments, sim.link(), {}, row.timeScale, {},
                                               {QStringLiteral("XDG_STATE_HOME=") + state.path()});
        EXPECT_EQ(second.exitCode, 0) << qPrintable(second.out + second.err);
        const QRegularExpression finishing(
            QStringLiteral("^An update of the Halvern 1450 on port 1 was interrupted on "
                           "20\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d\\. Finishing it "
                           "with (%1)\\.$")
                .arg(row.named ? QRegularExpression::escape(firmware)
                               : QStringLiteral(
                                     ".*/Hlv1450ver5_9\\.s19|the newest firmware for its boot software")),
            QRegularExpression::MultilineOption);
        EXPECT_TRUE(second.out.contains(finishing)) << qPrintable(second.out);
        EXPECT_EQ(QDir(state.path() + QStringLiteral("/romwright")).entryList({"unfinished-*"}, QDir::Files),
                  QStringList()); // the record does not outlive the update
        // A kill leaves no time for the log; Ctrl-C's update at 30 % has its line and transcript.
        const QList<QJsonObject> logged = loggedUpdates(state.path());
        ASSERT_FALSE(logged.isEmpty());
        if (row.named) {
            ASSERT_EQ(logged.size(), 2);
            EXPECT_EQ(logged.front().value(QLatin1String("result")), QLatin1String("interrupted"));
            EXPECT_EQ(logged.front().value(QLatin1String("file")), firmware);
            EXPECT_TRUE(QFile::exists(state.path() + QStringLiteral("/romwright/") +
                                      logged.front().value(QLatin1String("transcript")).toString()));
        }
        EXPECT_TRUE(row.signal != SIGKILL || logged.size() == 1);
        EXPECT_EQ(logged.back().value(QLatin1String("result")), QLatin1String("completed"));
        ASSERT_TRUE(sim.waitForExit());
        EXPECT_EQ(sim.transcript().contains(QLatin1String("request during the firmware pass")),
                  row.said != kInterruptedRestarted);
        EXPECT_EQ(sampleBlocksMissing(sim.dump()), 0);
    }
}

// A scanner that stopped answering, or that was not switched off and on at
// the prompt, is switched off and on (a simulator starting in its boot
// software on the same port) and the update run again with nothing but
// --yes, as the message says: the record finishes it.
// A technician swapped scanners: the record of a Halvern's update names the
// port a running Jorlith now answers on. The bare rerun says so, keeps the
// record for its scanner and goes on as if there were none: the Jorlith gets
// Jorlith firmware, never the record's.
// Records are used only for the scanner they fit, and never chosen between
// silently: rows of records left in the state folder, crossed with what the
// scanner on their port answers, and what a bare run (or one naming the
// model) does with them.
TEST(ConsoleInterrupt, ARecordIsUsedOnlyForTheScannerItFits)
{
    using namespace std::chrono_literals;
    const QByteArray hlv = fileBytes(kHalvernSample), jl = fileBytes(sampleDir() + "/JL750Ver6_0.s19");
    const QString jlFile = sampleDir() + "/JL750Ver6_0.s19";
    const struct {
        const char *what;
        QStringList sim;
        std::vector<std::pair<const char *, QString>> records; // model, file
        bool throughTerminal;                                  // made through /dev/pts/N, outside the map
        QStringList extra;                                     // after --console --yes
        int exitCode;
        QStringList said;
        std::size_t recordsLeft;
        bool changed; // anything past the identity query reached the scanner
    } cases[] = {
        // clang-format off
        {"a Halvern's record, a Jorlith on the port", {"--model", "jorlith"}, {{"Halvern 1450", kHalvernSample}},
         false, {}, 0,
         {" The scanner on port 1 answers as Jorlith 750, not Halvern 1450. The record is kept for that scanner "
          "and not used now.\n", "Firmware file: JL750Ver6_0.s19\n"}, 1, true},
        {"an answer of no model", {"--identity", "HLV 1451OK"}, {{"Halvern 1450", kHalvernSample}}, false, {}, 1,
         {"answers \"HLV 1451OK\\r\\n\", which is the answer of no scanner model the Romwright knows. Nothing was "
          "sent that could change the scanner. The record is kept"}, 1, false},
        {"two records, the scanner waits in its boot software", {"--start-in-boot", "--boot", "Q"},
         {{"Halvern 1450", kHalvernSample}, {"Jorlith 750", jlFile}}, false, {}, 1,
         {"2 unfinished updates could be for the scanner on port 1.\n", "romwright:   An update of the Halvern 1450",
          "romwright:   An update of the Jorlith 750", "--model NAME", "romwright --console --forget 1\n"}, 2, false},
        {"two records, the model named", {"--start-in-boot", "--boot", "Q", "--model", "jorlith"},
         {{"Halvern 1450", kHalvernSample}, {"Jorlith 750", jlFile}}, false, {"--model", "jorlith"}, 0,
         {"An update of the Jorlith 750 on port 1 was interrupted on "}, 1, true},
        {"made through a terminal outside the port map", {"--start-in-boot", "--boot", "Q"},
         {{"Halvern 1450", kHalvernSample}}, true, {}, 0, {"An update of the Halvern 1450 on port 2 was "}, 0, true},
        // clang-format on
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        SimProcess sim(c.sim);
        const QTemporaryDir state;
        const romwright::UnfinishedUpdates records(state.filePath(QStringLiteral("romwright")));
        QDateTime started = QDateTime::currentDateTime().addSecs(-600);
        for (const auto &[model, file] : c.records) {
            const QByteArray bytes = fileBytes(file);
            ASSERT_TRUE(
                records.save({c.throughTerminal ? 2 : 1, c.throughTerminal ? sim.terminal() : sim.link(),
                              QString::fromLatin1(model), false, 'Q', file, bytes.size(),
                              romwright::sha256Hex(bytes), started = started.addSecs(60)}));
        }
        // Through its terminal, port 1 is a port without a device.
        const ConsoleRun run =
            runRomwright(QStringList{"--console", "--yes"} + c.extra,
                         c.throughTerminal ? QStringLiteral("/nonexistent/ttyUSB9") : sim.link(), {},
                         QStringLiteral("0.05"), {}, {QStringLiteral("XDG_STATE_HOME=") + state.path()});
        EXPECT_EQ(run.exitCode, c.exitCode) << qPrintable(run.out + run.err);
        for (const QString &text : c.said)
            EXPECT_TRUE((run.out + run.err).contains(text))
                << qPrintable(text + "\n---\n" + run.out + run.err);
        EXPECT_EQ(records.all().size(), c.recordsLeft);
        const QString transcript = sim.transcript();
        EXPECT_EQ(transcript.contains(QLatin1String("request R")) ||
                      transcript.contains(QLatin1String("restart into")),
                  c.changed)
            << qPrintable(transcript.right(2000));
    }
}

TEST(ConsoleInterrupt, AFailedUpdateIsFinishedByRunningItAgainAfterAPowerCycle)
{
    using namespace std::chrono_literals;
    // stalled in the firmware pass; no Enter at the power-cycle prompt: the simulator, what the failed run
    // says
    const std::pair<QStringList, const char *> cases[] = {
        {{"--boot", "Q", "--stall-after", "20"}, romwright::messages::kWayBackNoFirmware},
        {{"--boot", "Z"}, romwright::messages::kInterruptedNewBoot},
    };
    for (const auto &[first, said] : cases) {
        SCOPED_TRACE(said);
        const QTemporaryDir state;
        const QStringList environment{QStringLiteral("XDG_STATE_HOME=") + state.path()};
        const QStringList arguments = {"--console", "--model", "halvern"};
        {
            SimProcess sim(first);
            const ConsoleRun run =
                runRomwright(arguments, sim.link(), {}, QStringLiteral("0.2"), {}, environment);
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_TRUE((run.out + run.err).contains(QLatin1String(said))) << qPrintable(run.out + run.err);
        }
        SimProcess sim({"--start-in-boot", "--boot", "Q"});
        const ConsoleRun again =
            runRomwright({"--console", "--yes"}, sim.link(), {}, QStringLiteral("0.05"), {}, environment);
        EXPECT_EQ(again.exitCode, 0) << qPrintable(again.out + again.err);
        ASSERT_TRUE(sim.waitForExit());
        EXPECT_EQ(sampleBlocksMissing(sim.dump()), 0);
    }
}

// A script reads a whole update from standard output alone: every line is
// one JSON object, the lamps and the pass are there in order, each with the
// step of the update it came in, and the last line carries the exit status.
// (That a trace holds every byte, also those the transcript no longer keeps:
// PortTranscript in UpdateLogTest.)
TEST(ConsoleJson, AWholeUpdateIsOneObjectPerLine)
{
    SimProcess sim({QStringLiteral("--boot"), QStringLiteral("Q")});
    const ConsoleRun run = runRomwright(
        {"--console", "--port", "1", "--model", "halvern", "--file", kHalvernSample, "--yes", "--json"},
        sim.link());
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.out + run.err);
    EXPECT_TRUE(run.err.isEmpty()) << qPrintable(run.err);

    // "lamp Port=green", "lamp Program=green@firmware", "progress 193/193", "message", ...
    QStringList events;
    int lastSent = -1;
    const QList<QJsonObject> objects = jsonLines(run.out);
    ASSERT_FALSE(objects.isEmpty());
    for (const QJsonObject &object : objects) {
        const auto value = [&](const char *key) {
            return object.value(QLatin1String(key)).toVariant().toString();
        };
        const QString phase = object.contains(QLatin1String("phase")) ? '@' + value("phase") : QString();
        if (value("event") == QLatin1String("lamp")) {
            events << QStringLiteral("lamp %1=%2").arg(value("lamp"), value("colour")) + phase;
        } else if (value("event") == QLatin1String("progress") &&
                   value("pass") == QLatin1String("firmware")) {
            EXPECT_GT(value("sent").toInt(), lastSent);
            lastSent = value("sent").toInt();
            events << QStringLiteral("progress %1/%2").arg(value("sent"), value("total")) + phase;
        } else {
            events << value("event");
        }
    }
    EXPECT_FALSE(events.contains(QLatin1String("error"))) << qPrintable(run.out);
    for (const char *lamp : {"Port=green", "Communication=green@erase", "Flash erase complete=green@erase",
                             "Program=green@firmware"})
        EXPECT_TRUE(events.contains(QLatin1String("lamp ") + QLatin1String(lamp))) << lamp;
    EXPECT_TRUE(lastSent > 0 && events.contains(QStringLiteral("progress %1/%1@firmware").arg(lastSent)))
        << "the firmware pass ended at " << qPrintable(events.filter(QLatin1String("progress")).join(", "));
    // The restarted scanner's answer, as its own event and in the result.
    EXPECT_TRUE(
        run.out.contains(R"({"answered":true,"event":"identity","model":"Halvern 1450","phase":"done"})"))
        << qPrintable(run.out);
    EXPECT_EQ(objects.back(), (QJsonObject{{"event", "result"},
                                           {"status", 0},
                                           {"completed", true},
                                           {"phase", "done"},
                                           {"answersAs", "Halvern 1450"}}));
}
