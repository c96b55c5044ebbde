// The start-up both front ends run, over a fake port and the sample files.
#include "app/common/FormLoad.h"
#include "app/common/MainState.h"
#include "app/common/PortPermissionNotice.h"
#include "platform/FileSystem.h"
#include "platform/ManualClock.h"
#include "scanner/Scanner.h"
#include "support/FakePort.h"
#include "support/ScriptedDialogs.h"
#include "support/TestPaths.h"
#include "view/ViewState.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace romwright;

namespace {

struct StartCase {
    const char *name;
    StartUpRequest request;
    int scannerPort;     // answers "V" as a Halvern here; 0: nowhere
    QByteArray identity; // its answer
    char greeting;       // its answer to "R2"
    FormLoadEnd end;
    QString model;
    int ticked;
    QString firmFile;
    bool identified; // "R2" was sent
};

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

} // namespace

TEST(FormLoad, EachStepRunsInTurnAndTheConsoleStopsAtTheFirstGap)
{
    const QByteArray halvern("HLV 1450OK\r\n");
    const QString sample = test::sampleDir() + QStringLiteral("/JL750Ver6_0.s19");
    StartUpRequest programming;
    StartUpRequest declined = console(given("1", "Halvern 1450"), kHalvern1450);
    declined.beforePort = [](int type) { return type != kHalvern1450; };
    const StartCase cases[] = {
        {"no scanner anywhere", {}, 0, {}, 'Q', FormLoadEnd::Ready, "Scanner Not Found", 0, "None", false},
        {"no scanner, console",
         console({}),
         0,
         {},
         'Q',
         FormLoadEnd::NoScanner,
         "Scanner Not Found",
         0,
         "None",
         false},
        {"Halvern on port 2: its newest firmware",
         {},
         2,
         halvern,
         'Q',
         FormLoadEnd::Ready,
         "Halvern 1450",
         2,
         "Hlv1450ver5_9.s19",
         true},
        {"three fields: no search, only the named file",
         given("3", "Halvern 1450", "JL750Ver6_0.s19"),
         0,
         {},
         'Q',
         FormLoadEnd::Ready,
         "Halvern 1450",
         3,
         "JL750Ver6_0.s19",
         true},
        {"one field: no port at all",
         given("", "", "JL750Ver6_0.s19"),
         0,
         {},
         'Q',
         FormLoadEnd::Ready,
         "",
         0,
         "JL750Ver6_0.s19",
         false},
        {"a port field that is no number is refused",
         given("x3", "Jorlith 750", "JL750Ver6_0.s19"),
         0,
         {},
         'Q',
         FormLoadEnd::Ready,
         "Jorlith 750",
         0,
         "JL750Ver6_0.s19",
         false},
        {"chooser's Exit", {}, 2, "Q", 'Q', FormLoadEnd::EndProgram, "", 0, "None", false},
        {"console, model given: no 128-byte Jorlith firmware",
         console(given("1", "Jorlith 750"), kJorlith750),
         0,
         {},
         'A',
         FormLoadEnd::NoFirmware,
         "Jorlith 750",
         1,
         "None",
         true},
        {"console, model given: searched by it",
         console(given("1", "Jorlith 750"), kJorlith750),
         0,
         {},
         'Q',
         FormLoadEnd::Ready,
         "Jorlith 750",
         1,
         "JL750Ver6_0.s19",
         true},
        {"console, file given",
         console(given("1", ""), kNotDetected, sample),
         0,
         {},
         'Q',
         FormLoadEnd::Ready,
         "",
         1,
         "JL750Ver6_0.s19",
         true},
        {"console, declined before the port",
         declined,
         0,
         {},
         'Q',
         FormLoadEnd::Declined,
         "Halvern 1450",
         0,
         "None",
         false},
        {"PROGRAM already pressed", programming, 2, halvern, 'Q', FormLoadEnd::EndProgram, "", 0, "None",
         false},
    };
    QTemporaryDir folder; // the program folder, empty: files come from the user's data folder
    LocalFileSystem files;
    for (const StartCase &c : cases) {
        SCOPED_TRACE(c.name);
        ViewState view;
        test::ScriptedDialogs dialogs;
        ManualClock clock;
        auto fake = std::make_unique<test::FakePort>(&clock);
        test::FakePort &port = *fake;
        if (c.scannerPort > 0) {
            port.devices[c.scannerPort].reply = [&c](const QByteArray &written, const QString &settings) {
                if (written == "V\r\n")
                    return settings.startsWith(QLatin1String("38400")) ? c.identity : QByteArray();
                return written == "R2" ? QByteArray(1, c.greeting) : QByteArray();
            };
        } else {
            port.responder = [&c](const QByteArray &written) {
                return written == "R2" ? QByteArray(1, c.greeting) : QByteArray();
            };
            port.openError = c.request.comP ? CommError::None : CommError::NoSuchPort;
        }
        MainState state(std::move(fake), {view, dialogs, clock, files, folder.path(), test::sampleDir()});
        state.flags().bProgramming = &c == &cases[std::size(cases) - 1];
        dialogs.chooserAnswers.push_back(std::nullopt);
        std::unique_ptr<Scanner> scanner;
        PortPermissionNotice notice;
        ScannerTimings timings;
        timings.probeWait = std::chrono::milliseconds(1);
        const StartUpResult result = FormLoad(c.request, {state, scanner, notice, timings});

        EXPECT_EQ(result.end, c.end);
        EXPECT_EQ(view.text(LabelId::ScanMod), c.model);
        EXPECT_EQ(view.portTicked(), c.ticked);
        EXPECT_EQ(view.text(LabelId::FirmFile), c.firmFile);
        EXPECT_EQ(view.lamp(LampId::FileOk), c.firmFile == "None" ? Lamp::Grey : Lamp::Green);
        EXPECT_EQ(port.written().contains("R2"), c.identified);
        EXPECT_EQ(state.target().bTargetA, c.identified && c.greeting == 'A');
        EXPECT_TRUE(dialogs.messages.empty());
    }
}
