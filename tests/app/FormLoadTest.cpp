// The start-up both front ends run, over a fake port and the sample files.
#include "app/startup/FormLoad.h"
#include "app/startup/MainState.h"
#include "app/startup/PortPermissionNotice.h"
#include "app/update/UnfinishedUpdate.h"
#include "platform/FileSystem.h"
#include "platform/ManualClock.h"
#include "platform/PortMap.h"
#include "scanner/Scanner.h"
#include "support/FakePort.h"
#include "support/ScriptedDialogs.h"
#include "support/TestPaths.h"
#include "view/ViewState.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace romwright;

namespace {

StartUpRequest given(const char *port, const char *model, const char *name = "")
{
    StartUpRequest r;
    r.comP = QString::fromLatin1(port);
    r.scannMod = QString::fromLatin1(model);
    r.firmwareName = QString::fromLatin1(name);
    return r;
}

StartUpRequest console(StartUpRequest r, ScannerType type = kNotDetected, const QString &path = QString())
{
    r.stopAtFirstGap = true;
    r.givenType = type;
    r.firmwarePath = path;
    return r;
}

// Start-up over a fake port, with what it shows.
struct Bench {
    explicit Bench(const QString &program, const QString &data, const QString &stateFolder = {})
        : port(new test::FakePort(&clock)),
          state(std::unique_ptr<SerialPort>(port),
                {view, dialogs, clock, files, program, data, {}, stateFolder})
    {
    }
    FormLoadEnd run(const StartUpRequest &request, StartUpFrontEnd *frontEnd = nullptr)
    {
        std::unique_ptr<Scanner> scanner;
        PortPermissionNotice notice;
        StartUpFrontEnd none;
        return FormLoad(request, {state, scanner, notice, {.probeWait = std::chrono::milliseconds(1)}},
                        frontEnd ? *frontEnd : none)
            .end;
    }
    // model label | port ticked | file label
    QString shown() const
    {
        return QStringList({view.text(LabelId::ScanMod), QString::number(view.portTicked()),
                            view.text(LabelId::FirmFile)})
            .join('|');
    }

    ViewState view;
    test::ScriptedDialogs dialogs;
    ManualClock clock;
    LocalFileSystem files;
    test::FakePort *port;
    MainState state;
};

} // namespace

// The window goes on past every step that fails; the console stops at the
// first one that leaves it nothing to program.
TEST(FormLoad, EachStepRunsInTurnAndTheConsoleStopsAtTheFirstGap)
{
    using enum FormLoadEnd;
    const char *halvern = "HLV 1450OK\r\n";
    const char *jl = "JL750Ver6_0.s19";
    const QString sample = test::sampleDir() + QLatin1Char('/') + QLatin1String(jl);
    StartUpRequest declined = console(given("1", "Halvern 1450"), kHalvern1450);
    declined.stopAfter = StartUpStep::Gate;
    const StartUpRequest jorlith = console(given("1", "Jorlith 750"), kJorlith750);
    const StartUpRequest withFile = console(given("1", ""), kNotDetected, sample);
    const StartUpRequest jorlith2 = console(given("2", "Jorlith 750"), kJorlith750);
    const char *nf = "Scanner Not Found|0|None";
    const char *found = "Halvern 1450|2|Hlv1450ver5_9.s19";
    const struct {
        const char *name;
        StartUpRequest request;
        const char *identity; // the answer to "V" on port 2; nullptr: the search finds nothing
        FormLoadEnd end;
        const char *shown;   // model label | port ticked | file label
        bool identified;     // "R2" was sent
        char greeting = 'Q'; // the answer to "R2"
        bool held = false;   // port 2 is held by another program, port 3 silent
        bool goOn = false;   // the front end's answer when the scanner answers as another model
    } cases[] = {
        {"no scanner anywhere", {}, nullptr, Ready, nf, false},
        {"no scanner, a port held", {}, nullptr, Ready, nf, false, 'Q', true},
        {"no scanner, console", console({}), nullptr, NoScanner, nf, false},
        {"found: its newest firmware", {}, halvern, Ready, found, true},
        {"3 fields: no search", given("3", "Halvern 1450", "Hlv1450ver5_9.s19"), nullptr, Ready,
         "Halvern 1450|3|Hlv1450ver5_9.s19", true},
        {"one field: no port at all", given("", "", jl), nullptr, Ready, "|0|JL750Ver6_0.s19", false},
        {"port no number", given("x3", "Jorlith 750", jl), nullptr, Ready, "Jorlith 750|0|JL750Ver6_0.s19",
         false},
        {"port beyond 256", given("257", "Jorlith 750", jl), nullptr, Ready, "Jorlith 750|0|JL750Ver6_0.s19",
         false},
        {"chooser's Exit", {}, "Q", EndProgram, "|0|None", false},
        {"console: no 128-byte firmware", jorlith, nullptr, NoFirmware, "Jorlith 750|1|None", true, 'A'},
        {"console: searched by the model", jorlith, nullptr, Ready, "Jorlith 750|1|JL750Ver6_0.s19", true},
        {"console, file", withFile, nullptr, Ready, "|1|JL750Ver6_0.s19", true},
        {"console, stopped after the gate", declined, nullptr, Stopped, "Halvern 1450|0|None", false},
        // A model given is asked of its port; "V" alone goes out before the front end says no, and
        // the window's answer decides whether the model given or the model answered is taken.
        {"console: another model", jorlith2, halvern, Declined, "Halvern 1450|0|None", false},
        {"window: No", given("2", "jorlith"), halvern, Ready, found, true},
        {"window: Yes", given("2", "Jorlith 750"), halvern, Ready, "Jorlith 750|2|None", true, 'Q', false,
         true},
        {"PROGRAM already pressed", {}, halvern, EndProgram, "|0|None", false},
    };
    QTemporaryDir folder; // the program folder, empty: files come from the user's data folder
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Bench b(folder.path(), test::sampleDir());
        // Ports 1 to 3 answer "R2"; port 2 also "V" at 38400 when there is a scanner.
        for (const int n : {1, 2, 3})
            b.port->devices[n].reply = [&c, n](const QByteArray &written, const QString &settings) {
                if (written == "R2")
                    return QByteArray(1, c.greeting);
                const bool found =
                    written == "V\r\n" && n == 2 && settings.startsWith(QLatin1String("38400"));
                return QByteArray(found ? c.identity : nullptr);
            };
        b.port->devices[2].openError = c.held ? CommError::PortInUse : CommError::None;
        if (c.held)
            b.port->devices[3].reply = [](const QByteArray &, const QString &) { return QByteArray(); };
        b.state.flags().bProgramming = &c == &cases[std::size(cases) - 1];
        b.state.gate().contradiction = [&c](const ModelDecision &, const QString &) { return c.goOn; };
        b.dialogs.chooserAnswers.push_back(std::nullopt);
        EXPECT_EQ(b.run(c.request), c.end);
        EXPECT_EQ(b.shown().toStdString(), c.shown);
        EXPECT_EQ(b.view.lamp(LampId::FileOk),
                  b.view.text(LabelId::FirmFile) == "None" ? Lamp::Grey : Lamp::Green);
        EXPECT_EQ(b.port->written().contains("R2"), c.identified);
        if (!c.identified) {
            EXPECT_EQ(b.port->written().replace("V\r\n", ""), QByteArray()); // nothing but identity queries
        }
        EXPECT_EQ(b.state.target().bTargetA, c.identified && c.greeting == 'A');
        // No scanner found, and a port another program holds: the window says which.
        QStringList shown;
        for (const auto &m : b.dialogs.messages)
            shown << m.title + QLatin1Char('|') + m.text;
        EXPECT_EQ(shown, c.held
                             ? QStringList{QStringLiteral("Scanner Not Found|The serial port %1 is in use by "
                                                          "another application. Close the application that "
                                                          "holds it, then try again.")
                                               .arg(portWithDevice(2, QStringLiteral("fake2")))}
                             : QStringList());
    }
}

// With no port given, the newest unfinished update whose file is as it was is
// offered; the answer decides whether its port, model and file are taken. A
// record whose file changed or went is reported as not used; a damaged one is
// reported and moved aside, never offered (one naming port 257: ConsoleTest).
// The newest firmware at hand for the 128-byte boot software is damaged,
// though the 64-byte one's is sound and the scanner would greet "Q": the
// window does not restart the scanner at start-up; PROGRAM with a sound file
// chosen identifies the boot software first, then updates.
TEST(FormLoad, TheWindowLeavesTheIdentificationToProgramWhenTheFirmwareAtHandIsDamaged)
{
    QTemporaryDir data;
    ASSERT_TRUE(
        test::copySamples({"FlashProgrammer.sss", "bootloader.sss", "Hlv1450ver5_9.s19"}, data.path()));
    const QByteArray sound = LocalFileSystem().read(test::sampleDir() + "/Hlv1450Uver6_0.s19").bytes;
    ASSERT_TRUE(writeWholeFile(data.filePath("Hlv1450Uver6_0.s19"), sound.left(sound.size() / 2)));
    Bench b({}, data.path());
    b.port->devices[2].reply = [](const QByteArray &written, const QString &settings) {
        if (written == "R2")
            return QByteArrayLiteral("Q");
        return written == "V\r\n" && settings.startsWith(QLatin1String("38400"))
                   ? QByteArrayLiteral("HLV 1450OK\r\n")
                   : QByteArray();
    };
    EXPECT_EQ(b.run({}), FormLoadEnd::Ready);
    EXPECT_EQ(b.shown(), QStringLiteral("Halvern 1450|2|Hlv1450Uver6_0.s19"));
    EXPECT_EQ(b.view.lamp(LampId::FileOk), Lamp::Red);
    EXPECT_FALSE(b.port->written().contains("R2"));

    b.state.FileOpen(test::sampleDir() + "/Hlv1450ver5_9.s19");
    b.state.cmdProgram_Click(); // no boot software answers the pass: it ends, but asked first
    const QByteArray written = b.port->written();
    ASSERT_TRUE(written.contains("R2"));
    EXPECT_EQ(written.left(written.indexOf("R2")).replace("V\r\n", ""), QByteArray());
    EXPECT_GE(written.count("R2"), 2); // the identification's, then the update's
}

TEST(FormLoad, AnUnfinishedUpdateIsOfferedWhileItsFileIsUnchanged)
{
    using enum FormLoadEnd;
    using enum FinishAnswer;
    enum class File { Same, Changed, Gone, NotJson, SizeAsText };
    using enum File;
    const char *none = "Scanner Not Found|0|None";
    const struct {
        const char *name;
        StartUpRequest request;
        File file;
        int device;                         // the record's device is fakeN
        std::optional<FinishAnswer> answer; // nullopt: not offered
        FormLoadEnd end;
        const char *shown; // model label | port ticked | file label
    } cases[] = {
        {"finished", {}, Same, 3, Finish, Ready, "Halvern 1450|3|Hlv1450ver5_9.s19"},
        {"the device now has another number", {}, Same, 5, Finish, Ready, "Halvern 1450|5|Hlv1450ver5_9.s19"},
        {"left for a search", {}, Same, 3, Search, Ready, none},
        {"stopped", console({}), Same, 3, Stop, Unfinished, "|0|None"},
        {"its file changed", {}, Changed, 3, std::nullopt, Ready, none},
        {"its file gone", {}, Gone, 3, std::nullopt, Ready, none},
        {"a port given", given("1", "Halvern 1450"), Same, 3, std::nullopt, Ready, "Halvern 1450|1|None"},
        {"damaged: not JSON", {}, NotJson, 3, std::nullopt, Ready, none},
        {"damaged: a mistyped field", {}, SizeAsText, 3, std::nullopt, Ready, none},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir state, data;
        ASSERT_TRUE(
            test::copySamples({"Hlv1450ver5_9.s19", "FlashProgrammer.sss", "bootloader.sss"}, data.path()));
        const QString firmware = data.filePath(QStringLiteral("Hlv1450ver5_9.s19"));
        const QByteArray bytes = LocalFileSystem().read(firmware).bytes;
        const UnfinishedUpdates records(state.path());
        ASSERT_TRUE(records.save({3, "fake" + QString::number(c.device), "Halvern 1450", false, 'Q', firmware,
                                  bytes.size(), sha256Hex(bytes), QDateTime::currentDateTime()}));
        QJsonObject json = toJson(records.all().front());
        json.insert("size", "12");
        const QByteArray damaged = c.file == NotJson ? "{\"port\":3," : QJsonDocument(json).toJson();
        ASSERT_TRUE(c.file < NotJson ||
                    (QFile::remove(records.pathFor(3)) && writeWholeFile(records.pathFor(3), damaged)));
        ASSERT_TRUE(c.file != Changed || writeWholeFile(firmware, bytes + "S9030000FC\n"));
        ASSERT_TRUE(c.file != Gone || QFile::remove(firmware));
        Bench b({}, data.path(), state.path());
        for (const int n : {1, 3, 5})
            b.port->devices[n].reply = [](const QByteArray &w, const QString &) {
                return w == "R2" ? QByteArrayLiteral("Q") : QByteArray();
            };
        struct Records : StartUpFrontEnd {
            FinishAnswer offerToFinish(const UnfinishedUpdate &r, int othersLeft) override
            {
                ++offered;
                EXPECT_EQ(r.file, firmware);
                EXPECT_EQ(othersLeft, 0);
                return answer.value_or(Search);
            }
            void recordNotUsed(const UnfinishedUpdate &, RecordedFile) override { ++notUsed; }
            void recordDamaged(const DamagedRecord &d) override { damagedSaid << damagedRecordText(d); }
            QString firmware;
            std::optional<FinishAnswer> answer;
            int offered = 0, notUsed = 0;
            QStringList damagedSaid;
        } told;
        told.firmware = firmware;
        told.answer = c.answer;
        StartUpRequest request = c.request;
        request.offerRecords = true;
        EXPECT_EQ(b.run(request, &told), c.end);
        EXPECT_EQ(told.offered, c.answer ? 1 : 0);
        EXPECT_EQ(told.notUsed, c.file == Changed || c.file == Gone ? 1 : 0);
        EXPECT_EQ(b.shown(), QLatin1String(c.shown));
        // Said by its name and moved aside, where it is kept but never read again.
        const QString path = records.pathFor(3);
        const QString shownPath = displayFileName(path);
        const QStringList &damagedSaid = told.damagedSaid;
        EXPECT_EQ(damagedSaid.size(), c.file >= NotJson ? 1 : 0);
        if (c.file >= NotJson) {
            EXPECT_TRUE(damagedSaid.front().startsWith("The record of an unfinished update " + shownPath +
                                                       " is damaged and not used: "))
                << damagedSaid.front().toStdString();
            EXPECT_TRUE(damagedSaid.front().endsWith(" It was moved to " + shownPath + ".damaged."));
            EXPECT_EQ(LocalFileSystem().read(path + ".damaged").bytes, damaged);
            EXPECT_TRUE(records.stored().empty());
        }
    }
}
