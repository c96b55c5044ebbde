// romwright --console as a user runs it: a real process on the simulator's
// terminal, judged by its output and exit status.
#include "app/update/UnfinishedUpdate.h"
#include "platform/FileSystem.h"
#include "support/ConsoleRun.h"
#include "support/SimClient.h"
#include "support/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

#include <sys/stat.h>

using namespace romwright::test;

TEST(Console, ExitStatusAndWhatItSays)
{
    using namespace std::chrono_literals;
    const QString question =
        QStringLiteral("Choose Your Scanner: 1 Halvern 1450, 2 Jorlith 750, 3 Wexmoor 3650, 0 Exit?");
    const QString done =
        QStringLiteral("Romwright: The firmware update is complete. The Romwright will now exit.");
    const QString afterUpdate = QStringLiteral(
        "romwright: The scanner did not answer after the update. Switch it off and on; if it still does not "
        "answer, run the update again.\n");
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
    };
    const QStringList file{"--file", kHalvernSample};
    const QStringList port1 = QStringList{"--port", "1"} + file;
    // The sample cut where its 200th line ends, as a copy that stopped early leaves it.
    QTemporaryDir dir;
    const QString cut = dir.filePath(QStringLiteral("cut.s19"));
    {
        QFile sample(kHalvernSample), copy(cut);
        ASSERT_TRUE(sample.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly));
        for (int line = 0; line < 200; ++line)
            copy.write(sample.readLine());
    }
    // The data folder of a user whose 128-byte firmware is that cut copy.
    ASSERT_TRUE(QDir(dir.path()).mkdir("romwright") &&
                copySamples({"Hlv1450ver5_9.s19", "FlashProgrammer.sss", "bootloader.sss"},
                            dir.filePath("romwright")) &&
                QFile::copy(cut, dir.filePath("romwright/Hlv1450Uver6_0.s19")));
    // Larger than any firmware file, sparse: refused before it is read.
    const QString big = dir.filePath(QStringLiteral("big.s19"));
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(qint64(3) << 30));
    }
    const QStringList halvern1 = port1 + QStringList{"--model", "Halvern 1450"};
    // A Jorlith release copied under another name.
    QTemporaryDir folder;
    const QString renamed = folder.filePath("update.s19");
    ASSERT_TRUE(QFile::copy(sampleDir() + "/JL750Ver6_0.s19", renamed));
    // A record whose adapter is unplugged, and one naming port 257.
    QTemporaryDir home;
    const romwright::UnfinishedUpdates records(home.filePath(QStringLiteral("romwright")));
    const QByteArray sample = fileBytes(kHalvernSample);
    for (const int port : {1, 257})
        ASSERT_TRUE(
            records.save({port, "/nonexistent/ttyUSB0", "Halvern 1450", false, 'Q', kHalvernSample,
                          sample.size(), romwright::sha256Hex(sample), QDateTime::currentDateTime()}));
    const QStringList recordsHome{"XDG_STATE_HOME=" + home.path()};
    // clang-format off
    const Case cases[] = {
        {"no file: the newest for the model, in any spelling", {"--boot", "Q"}, "%1",
         {"--port", "1", "--model", "HALVERN"}, 0,
         {"Port: green\n", "Firmware file: Hlv1450ver5_9.s19\n", "File: green\n", "Communication: green\n",
          "Flash erase complete: green\n", "Firmware:  50%", "Firmware: 100%", "Updating: green\n", "Program: green\n",
          "will now exit.\n", "The scanner answers as Halvern 1450.\n"},
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
        {"a Jorlith release renamed", {"--boot", "Q"}, "%1", {"--port", "1", "--model", "halvern", "--file", renamed}, 1, {},
         {"romwright: The file update.s19 is firmware for the Jorlith 750 with the 64-byte boot software, but the "
          "scanner is a Halvern 1450. The scanner was not changed.\nromwright: give --force"}},
        // A port without a model: the scanner's own answer decides, and a word typed is not asked for.
        {"no model: the scanner says it", {"--boot", "Q"}, "%1", port1, 0, {"Program: green"}, {}, "jorlith\n", 0},
        {"no model: another model answers", {"--model", "jorlith"}, "%1", port1 + QStringList{"--yes"}, 1, {},
         {"romwright: The file Hlv1450ver5_9.s19 is firmware for the Halvern 1450 with the 64-byte boot software, "
          "but the scanner is a Jorlith 750. The scanner was not changed.\n"}, "halvern\n", 0},
        // Only a scanner that cannot tell is asked about, before the check.
        {"no model, silent: asked before the check", {"--boot", "Q", "--silent"}, "%1", port1, 0, {question},
         {afterUpdate}, "halvern\n", 1},
        // Later than detection's 200 ms row, within the 500 ms the identity query allows: heard, and it decides.
        {"another model answering after 0.3 s", {"--model", "jorlith", "--answer-delay", "300"}, "%1", halvern1, 1,
         {}, {"romwright: The scanner on port 1 answers as Jorlith 750, not Halvern 1450. The scanner was not changed.\n"}},
        // Whatever is not exactly an answer or a clean silence is refused, --force or not: nothing else is
        // sent. Each kind of unclear answer is classified in IdentityQuery's table.
        {"another line end", {"--model", "jorlith", "--answer", "JL 750OK\\n"}, "%1", halvern1 + QStringList{"--force"}, 1,
         {}, {"romwright: The scanner on port 1 answers \"JL 750OK\\n\", which is the answer of no scanner model the "
              "Romwright knows. Nothing was sent that could change the scanner.\n"}},
        {"noise on the line", {"--babble", "40"}, "%1", halvern1, 1, {}, {"Nothing was sent that could change"}},
        {"a port held by another program", {"--held"}, "%1", halvern1, 1, {},
         {"romwright: Port 1 could not be read to the end of the scanner's answer: the port is held by another "
          "program. Nothing was sent that could change the scanner.\n"}},
        // A clean greeting cannot tell: the model named decides, the old boot software's "Z" too.
        // Its "Z" every 0.5 s is heard within the scaled wait for it.
        {"the old boot software's Z", {"--start-in-boot", "--boot", "Z"}, "%1", halvern1 + QStringList{"--yes"}, 0,
         {"Program: green\n"}, {}, {}, 0, "0.2"},
        // Each processor's own boot software: the BarCode one is identified by "R4".
        {"a Wexmoor's BarCode processor with other boot software than its main one",
         {"--model", "wexmoor", "--boot", "A", "--boot-r4", "Q"}, "%1",
         {"--port", "1", "--model", "wexmoor", "--processor", "barcode", "--file", sampleDir() + "/WX3650UVer1_9.s20"},
         0, {"Program: green\n"}, {}},
        {"the BarCode processor of a Halvern", {"--boot", "Q"}, "%1", port1 + QStringList{"--processor", "barcode"}, 1,
         {"Firmware Check: The Halvern 1450 has no BarCode processor.\n"}, {}},
        {"another boot software, forced", {"--boot", "A", "--start-in-boot"}, "%1",
         port1 + QStringList{"--model", "Halvern 1450", "--force"}, 0, {"Program: green"}, {}},
        // A model given with its port is asked of the scanner first; forced, the firmware goes in, and the
        // scanner's answer afterwards makes it a failure.
        {"another model, forced", {"--model", "halvern"}, "%1", {"--port", "1", "--model", "jorlith", "--force"}, 1,
         {"Firmware file: JL750Ver6_0.s19\n", "Program: green"},
         {"romwright: the firmware was written, but the scanner answers as another model after the update\n"}},
        // The new firmware does not start: a warning, but the flash was written and acknowledged.
        {"no answer after the update", {"--boot", "Q", "--silent-after-update"}, "%1", halvern1, 0,
         {"Program: green\n"}, {afterUpdate}},
        // Without --port the ports are searched and the chooser asks on the terminal.
        {"found on port 2, its newest firmware", {"--model", "jorlith"}, ",%1", {}, 0,
         {"Scanner: Jorlith 750 on port 2\n", "Firmware file: JL750Ver6_0.s19\n"}, {}},
        {"nothing on any port", {}, ",", {}, 1, {"Scanner Not Found\n"},
         {"switch it off and on and run the update again (its boot software then greets and you are asked which "
          "model it is), or name its port and model: romwright --console --port N --model NAME\n"}},
        // Each said in one line; the search goes on, and its end names the way to drop the record kept.
        {"a record whose device is gone, a damaged one", {}, ",", {"--yes"}, 1, {"Scanner Not Found\n"},
         {" Its device /nonexistent/ttyUSB0 is not connected now; the record is kept for when it is.\n",
          "The record of an unfinished update " + records.pathFor(257) + " is damaged and not used: it names port 257, "
          "which no port can have (1 to 256). It was moved to " + records.pathFor(257) + ".damaged.\n",
          "A record of an unfinished update is kept for port 1; to drop it once its scanner no longer needs it: "
          "romwright --console --forget 1\n"}, {}, 0, "0.05", recordsHome},
        {"nothing on any port, one held by another program", {"--held"}, ",%1", {}, 1, {"Scanner Not Found\n"},
         {"romwright: The serial port ", " (port 2) is in use by another application. Close the application"}},
        {"a bootloader, the model given in advance", {"--boot-prompt", "Q", "--model", "wexmoor"}, ",%1",
         file + QStringList{"--model", "wexmoor", "--force"}, 0, {"Scanner: Wexmoor 3650 on port 2\n",
         " will now exit. Update the BarCode processor as well: start the Romwright again and choose BarCode.\n"}, {}},
        {"a bootloader, the model typed after a wrong answer", {"--boot-prompt", "A", "--model", "jorlith"}, ",%1",
         file + QStringList{"--force"}, 0, {"Scanner: Jorlith 750 on port 2\n"}, {}, "9\n2\n", 2},
        {"a bootloader, Exit typed", {"--boot-prompt", "Q"}, ",%1", file, 1, {}, {"ended in the scanner chooser"},
         "0\n", 1},
        // Damaged: nothing after the identification reaches the scanner.
        {"a file cut short", {"--boot", "Q"}, "%1", {"--port", "1", "--model", "halvern", "--file", cut, "--yes"}, 1,
         {"File: red\n", "Romwright: The file cut.s19 is damaged and cannot be used (line 200: the file ends without an end record: "
          "it may have been cut short).\n"}, {}},
        // Without a file named, each one the boot software's greeting could select is judged before it is asked.
        {"a damaged file for the other boot software", {"--boot", "Q"}, "%1", {"--port", "1", "--model", "halvern"}, 1,
         {"Romwright: The file Hlv1450Uver6_0.s19 is damaged"}, {"/romwright/Hlv1450Uver6_0.s19 for the 128-byte boot "
         "software, which cannot be used; mend or replace it, or name another file with --file. The scanner was "
         "not changed.\n"}, {}, 0, "0.05", {"XDG_DATA_HOME=" + dir.path()}},
        {"a file larger than any firmware", {"--boot", "Q"}, "%1", {"--port", "1", "--model", "halvern", "--file", big, "--yes"}, 1,
         {"Romwright: The file big.s19 is larger than any firmware file can be (more than 16 MB) and cannot be used.\n"}, {}},
        {"a bootloader, no answer at all", {"--boot-prompt", "Q"}, ",%1", file, 1,
         {"\nStandard input ended without a choice", "Scanner: model not known on port 2\n"},
         {"no scanner model chosen"}, {}, 1},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<SimProcess> sim;
        std::optional<SimClient> holder; // "--held": another program holds the simulator's terminal
        const bool held = !c.sim.isEmpty() && c.sim.first() == QLatin1String("--held");
        if (!c.sim.isEmpty())
            sim.emplace(held ? QStringList() : c.sim);
        if (held) {
            ASSERT_TRUE(holder.emplace(sim->link()).isOpen());
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
        // Not a terminal: a progress line at every tenth, no blinking lamp.
        EXPECT_LE(run.out.count(QLatin1String("Firmware: ")), 11);
        EXPECT_FALSE(run.out.contains(QLatin1String("Updating: red")));
        // Standard error opens with the time scale's note; a completed update adds nothing but its warnings.
        EXPECT_TRUE(run.err.startsWith("romwright: every wait scaled by " + c.timeScale +
                                       " (ROMWRIGHT_TEST_TIME_SCALE)"));
        // Refused or damaged: the scanner was asked who it is, and heard nothing after that.
        const bool nothingSent =
            run.err.contains(QLatin1String("Nothing was sent that could change the scanner"));
        if (sim && (run.err.contains(QLatin1String("not changed")) || nothingSent ||
                    run.out.contains(QLatin1String("cannot be used")))) {
            sim->stop();
            const QString in =
                sim->transcript().split(QLatin1Char('\n')).filter(QLatin1String(" in  0x")).join('\n');
            EXPECT_TRUE(nothingSent || in.contains(QLatin1String("0x56 'V'")) ||
                        in.contains(QLatin1String("0x52 'R'")));
            // A scanner restarted into its boot software is said to wait there.
            EXPECT_EQ(in.contains(QLatin1String("0x52 'R'")),
                      run.err.contains(QLatin1String("in its boot software")));
            for (const char *sent : {"'z'", "'E'", "'G'"})
                EXPECT_FALSE(in.contains(QLatin1String(sent))) << sent;
            EXPECT_TRUE(!nothingSent || !in.contains(QLatin1String("0x52 'R'")));
        }
        if (c.exitCode == 0) {
            EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1 + c.err.size());
            EXPECT_TRUE(run.out.contains(done) && run.out.endsWith(QLatin1Char('\n')));
            // The scanner got its final "R": the whole pass went out.
            EXPECT_TRUE(sim && sim->waitForExit());
        }
    }
    // The record kept is dropped on request, once.
    const ConsoleRun forget = runRomwright({"--console", "--forget", "1"}, {}, {}, "0.05", {}, recordsHome);
    EXPECT_EQ(forget.exitCode, 0);
    EXPECT_TRUE(
        forget.out.startsWith("Record dropped: An update of the Halvern 1450 on port 1 was interrupted"))
        << qPrintable(forget.out + forget.err);
    EXPECT_EQ(runRomwright({"--console", "--forget"}, {}, {}, "0.05", {}, recordsHome).out,
              "No record of an unfinished update is kept.\n");
}

TEST(Console, AnUpdateGoesOnToItsEndWhenItsOutputIsClosed)
{
    SimProcess sim({QStringLiteral("--boot"), QStringLiteral("Q")});
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
    EXPECT_TRUE(sim.waitForExit());
}
// --check finds the scanner and says what an update would do; the scanner
// hears its identity query and nothing else, whether the update would go
// ahead or not.
TEST(Console, CheckSaysWhatAnUpdateWouldDoAndSendsOnlyTheIdentityQuery)
{
    // The loaders, a sound 64-byte Halvern file and a damaged 128-byte one; no Jorlith file.
    QTemporaryDir folder;
    const QString data = folder.path();
    ASSERT_TRUE(
        QDir(data).mkdir("romwright") &&
        copySamples({"Hlv1450ver5_9.s19", "FlashProgrammer.sss", "bootloader.sss"}, data + "/romwright") &&
        romwright::writeWholeFile(data + "/romwright/Hlv1450Uver6_0.s19", "S1"));
    const struct {
        const char *name;
        QStringList sim, args;
        QString ports;
        int exitCode;
        QStringList out; // in standard output, in this order
        QStringList environment = {};
    } cases[] = {
        // clang-format off
        {"running firmware, the route not known", {"--model", "halvern"}, {"--port", "1", "--model", "halvern"}, "%1", 0,
         {"Check: the scanner on port 1 answers as Halvern 1450; nothing was changed.\nModel: Halvern 1450\n",
          "Hlv1450ver5_9.s19\nSHA-256: ", "Blocks to send: ", "Route: chosen by the boot software's greeting",
          "The update would go ahead.\n"}},
        {"found waiting in its boot software", {"--boot-prompt", "A"}, {"--model", "halvern"}, ",%1", 0,
         {"Check: the scanner on port 2 waits in its boot software (\"A\")", "Hlv1450Uver6_0.s19\n",
          "Route: the firmware pass of the 128-byte boot software"}},
        {"a file for the other boot software", {"--boot-prompt", "A"},
         {"--port", "1", "--model", "halvern", "--file", kHalvernSample}, "%1", 1, {}},
        {"another model on the port", {"--model", "jorlith"}, {"--port", "1", "--model", "halvern"}, "%1", 1, {}},
        // Without a file named: the file each boot software would get, as the update would judge it.
        {"a damaged file for the other boot software", {"--boot", "Q"}, {"--port", "1", "--model", "halvern"}, "%1", 1,
         {"Firmware for the 64-byte boot software: " + data + "/romwright/Hlv1450ver5_9.s19 (sound)\n"
          "Firmware for the 128-byte boot software: " + data + "/romwright/Hlv1450Uver6_0.s19 (cannot be used)\n"},
         {"XDG_DATA_HOME=" + data}},
        {"no firmware at hand", {"--model", "jorlith"}, {"--port", "1", "--model", "jorlith"}, "%1", 1,
         {"Firmware for the 64-byte boot software: missing: put JL750Ver6_0.s19 (or an older release named the same "
          "way, down to JL750Ver2_2.s19) in " + data + "/romwright\n", "128-byte boot software: missing: put "
          "JL750UVer6_0.s19"}, {"XDG_DATA_HOME=" + data, "XDG_DATA_DIRS=/nonexistent"}},
        // No scanner can be reached: the update would not go ahead (each kind of device that is no
        // serial port: PosixSerialPort.SaysWhyAPortCannotBeUsed).
        {"a port without a device", {}, {"--port", "2", "--model", "halvern"}, "%1", 1, {}},
        // clang-format on
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim(c.sim);
        const ConsoleRun run =
            runRomwright(QStringList{"--console", "--check"} + c.args, c.ports.arg(sim.link()), {},
                         QStringLiteral("0.05"), {}, c.environment);
        EXPECT_EQ(run.exitCode, c.exitCode) << qPrintable(run.out + run.err);
        EXPECT_EQ(run.out.contains(QLatin1String("The update would go ahead.")), c.exitCode == 0);
        if (c.sim.isEmpty()) { // nothing to reach: the reason is said
            EXPECT_TRUE(run.err.contains(QLatin1String("romwright: the update would not go ahead: port 2 ")))
                << qPrintable(run.err);
        }
        qsizetype at = 0;
        for (const QString &text : c.out)
            EXPECT_GE(at = run.out.indexOf(text, at), 0) << qPrintable(text) << qPrintable(run.out);
        sim.stop();
        const QString in =
            sim.transcript().split(QLatin1Char('\n')).filter(QLatin1String(" in  0x")).join('\n');
        EXPECT_EQ(in.count(QLatin1String(" in  0x")), in.count(QLatin1String("0x56 'V'")) * 3)
            << qPrintable(in);
    }
}

// --list-ports as a user who may open one terminal, finds another held and
// may not open the third; then an update on a port named by a link to its
// device, as /dev/serial/by-id/... names an adapter.
TEST(Console, ListPortsAndAPortNamedByItsDevice)
{
    SimProcess free, held, forbidden;
    const QString ports = free.terminal() + "," + held.terminal() + "," + forbidden.terminal();
    if (const QString setpriv = setprivProgram(); !setpriv.isEmpty()) {
        for (const SimProcess *sim : {&free, &held})
            ASSERT_EQ(::chmod(sim->terminal().toLocal8Bit().constData(), 0666), 0);
        SimClient holder(held.link());
        ASSERT_TRUE(holder.isOpen());
        for (const bool json : {false, true}) {
            const ConsoleRun run =
                runRomwright(QStringList{"--list-ports"} + (json ? QStringList{"--json"} : QStringList{}),
                             ports, {}, QStringLiteral("0.05"), setpriv);
            EXPECT_EQ(run.exitCode, 0);
            QString expected;
            int port = 0;
            for (const auto &[sim, state] :
                 {std::pair{&free, "free"}, {&held, "held"}, {&forbidden, "forbidden"}})
                expected +=
                    json ? QStringLiteral(
                               "{\"description\":\"\",\"device\":\"%1\",\"port\":%2,\"productId\":\"\","
                               "\"serialNumber\":\"\",\"state\":\"%3\",\"vendorId\":\"\"}\n")
                               .arg(sim->terminal())
                               .arg(++port)
                               .arg(QLatin1String(state))
                         : QStringLiteral(" %1  %2  %3\n")
                               .arg(++port)
                               .arg(sim->terminal(), QLatin1String(state));
            EXPECT_EQ(run.out, expected) << qPrintable(run.err);
        }
    }
    // The link resolves to port 3's device: the update goes there. A terminal
    // that is none of the mapped ports (one adapter more, a serial server's
    // pseudo-terminal) takes the next number for this run.
    QTemporaryDir byId;
    const QString link = byId.filePath(QStringLiteral("usb-Adapter_A1-if00-port0"));
    ASSERT_TRUE(QFile::link(forbidden.terminal(), link));
    SimProcess extra;
    for (const QString &port : {link, extra.link()}) {
        const ConsoleRun run = runRomwright(
            {"--console", "--port", port, "--model", "halvern", "--file", kHalvernSample}, ports);
        EXPECT_EQ(run.exitCode, 0) << qPrintable(run.out + run.err);
        EXPECT_TRUE(run.out.contains(QLatin1String("The scanner answers as Halvern 1450.\n")))
            << qPrintable(run.out);
    }
    EXPECT_TRUE(forbidden.waitForExit());
}
