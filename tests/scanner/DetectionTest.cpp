// Detection against scripted ports on a manual clock: the outcome of every
// kind of answer, the port failures and the chooser.
#include "ScannerRig.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;

namespace {

// A device answering its n-th identity query at `rate` (counting from 0) with
// answers[n], and with the last of them after that; none: a silent device.
struct Answers {
    int port;
    const char *rate;
    std::vector<QByteArray> answers;
};

const char *const none = "Scanner Not Found", *const compatMode = "Compatibilty Mode";

// The state and the type that go with a name detection gives.
std::pair<qint32, qint32> outcomeOf(const char *name)
{
    static const std::map<QString, std::pair<qint32, qint32>> outcomes{
        {none, {kNoScanner, kNoScannerFound}},           {compatMode, {kCompatibilityMode, kNotDetected}},
        {"Halvern 1450", {kScannerFound, kHalvern1450}}, {"Jorlith 750", {kScannerFound, kJorlith750}},
        {"Wexmoor 3650", {kScannerFound, kWexmoor3650}}, {"", {kDetecting, kNotDetected}}};
    return outcomes.at(QLatin1String(name));
}

} // namespace

// Which answer finds which model, which port wins, and how long the probing
// takes: each model row is asked of every port still waiting, then one 200 ms
// wait serves them all. A boot prompt asks the user, without the hourglass.
// What each port hears is checked on real lines in PtyDetectionTest.
TEST(DetectScanner, OnlyAnExactIdentityAtItsRateFindsAModel)
{
    const QByteArray hlv = "HLV 1450OK\r\n", jl = "JL 750OK\r\n", compat = "JL 19.2kOK\r\n";
    struct Case {
        const char *what;
        std::vector<Answers> devices; // none: no port opens
        const char *name;
        qint16 comPort;
        int endsAt; // ms
        // The chooser's answers at a boot prompt; nullopt: Exit, "": closed without a choice.
        std::deque<std::optional<QString>> choices = {};
    };
    const Case cases[] = {
        {"no port opens", {}, none, 0, 0},
        {"Halvern at 38400 on port 3", {{3, "38400", {hlv}}}, "Halvern 1450", 3, 200},
        {"Jorlith at 38400", {{1, "38400", {jl}}}, "Jorlith 750", 1, 400},
        {"Halvern at 19200", {{2, "19200", {hlv}}}, "Halvern 1450", 2, 600},
        {"Wexmoor by row 5", {{1, "38400", {"WX 3650OK\r\n"}}}, "Wexmoor 3650", 1, 1000},
        {"Jorlith at 19200 is taken for compatibility mode", {{1, "19200", {jl}}}, compatMode, 1, 600},
        {"compatibility, last port named", {{1, "19200", {compat}}, {2, "19200", {}}}, compatMode, 2, 1000},
        {"compatibility answer at 38400 is no answer", {{4, "38400", {compat}}}, none, 4, 1000},
        {"identity without its line end", {{3, "38400", {"HLV 1450OK"}}}, none, 3, 1000},
        {"identity with a character more", {{3, "38400", {hlv + ' '}}}, none, 3, 1000},
        {"identity in the wrong case", {{3, "38400", {hlv.toLower()}}}, none, 3, 1000},
        {"\"0\" lets the next model try", {{6, "38400", {"0", jl}}}, "Jorlith 750", 6, 400},
        {"the last of two scanners wins", {{1, "38400", {hlv}}, {4, "38400", {jl}}}, "Jorlith 750", 4, 400},
        {"a find outlasts compat", {{1, "38400", {hlv}}, {2, "19200", {compat}}}, "Halvern 1450", 1, 600},
        {"boot prompt, Halvern chosen", {{5, "38400", {"Q"}}}, "Halvern 1450", 5, 200, {"Halvern1450"}},
        {"boot prompt, Wexmoor chosen", {{5, "38400", {"\r\nA"}}}, "Wexmoor 3650", 5, 200, {"Wexmoor 3650"}},
        {"boot prompt, any other text", {{5, "38400", {"A"}}}, "Wexmoor 3650", 5, 200, {"Halvern 1450"}},
        {"boot prompt, Exit", {{5, "38400", {"Q"}}}, "", 0, 200, {std::nullopt}},
        // Closed: the scanner is there, its model left for PROGRAM to ask.
        {"boot prompt, chooser closed", {{5, "38400", {"Q"}}}, "", 5, 200, {QString()}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScannerRig d;
        for (const auto &[port, rate, answers] : c.devices) {
            d.port.devices[port].reply = [rate, answers, n = std::make_shared<std::size_t>(0)](
                                             const QByteArray &written, const QString &settings) {
                if (written != "V\r\n" || !settings.startsWith(QLatin1String(rate)) || answers.empty())
                    return QByteArray();
                return answers[std::min((*n)++, answers.size() - 1)];
            };
        }
        if (c.devices.empty())
            d.port.openError = CommError::NoSuchPort;
        d.dialogs.chooserAnswers = c.choices;
        const bool exit = !c.choices.empty() && !c.choices.back();
        const auto [state, type] =
            exit || *c.name ? outcomeOf(c.name) : std::pair<qint32, qint32>{kScannerFound, kNotDetected};
        const bool found = state == kScannerFound;
        EXPECT_EQ(d.detect(), found ? Detection::Found : exit ? Detection::EndProgram : Detection::NotFound);
        EXPECT_EQ(d.scanner.State(), state);
        EXPECT_EQ(d.scanner.Name(), QLatin1String(c.name));
        EXPECT_EQ(d.scanner.TypeOfScanner(), type);
        EXPECT_EQ(d.scanner.ComPort(), c.comPort);
        EXPECT_EQ(d.commPort, found ? c.comPort : 0);
        EXPECT_EQ(d.clock.now().count(), c.endsAt);
        EXPECT_EQ(d.connectEvents, (exit ? std::vector<bool>{false} : std::vector<bool>{false, found}));
        EXPECT_FALSE(d.view.isBusy());
        EXPECT_FALSE(d.port.portOpen()); // detection leaves the port closed
        EXPECT_EQ(d.dialogs.busyWhileShown, std::vector<bool>(c.choices.size(), false));
    }
}

// Ports another program holds at the start are named when detection ends.
TEST(DetectScanner, PortFailuresWhileProbingGiveThePortUp)
{
    using enum CommError;
    FakeDevice held;
    held.openError = PortInUse;
    const struct {
        const char *what;
        std::deque<CommError> opens; // then openError
        CommError openError;
        QStringList refused;
        CommError write;
        int probeOpensOnFailingPort; // after the enumeration's
    } cases[] = {
        // Opened for the enumeration, then taken by another program.
        {"held once probing starts", {None, PortInUse}, None, {}, None, 1},
        // The first row's rate is refused: given up before its 19200 rows.
        {"first rate refused", {}, None, {"38400,n,8,1"}, None, 0},
        {"line fails when written", {}, None, {}, WriteFailed, 1},
        // A device that will not open again stays silent for every row.
        {"no longer opens", {None}, DeviceNotOpen, {}, None, 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ScannerRig d;
        FakeDevice halvern = answersAt("19200", "HLV 1450OK\r\n");
        halvern.openResults = c.opens;
        halvern.openError = c.openError;
        halvern.refusedSettings = c.refused;
        halvern.writeError = c.write;
        d.port.devices = {{2, halvern}, {4, held}, {5, held}, {9, answersAt("38400", "WX 3650OK\r\n")}};
        EXPECT_EQ(d.detect(), Detection::Found);
        EXPECT_EQ(d.scanner.Name(), QLatin1String("Wexmoor 3650"));
        EXPECT_EQ(d.scanner.ComPort(), 9);
        EXPECT_EQ(d.port.openAttempts[2], 1 + c.probeOpensOnFailingPort);
        EXPECT_EQ(d.clock.now().count(), 1000); // port 9's five rows up to the Wexmoor
        EXPECT_FALSE(d.view.isBusy());
        ASSERT_EQ(d.scanner.heldPorts().size(), 2u);
        EXPECT_EQ(d.scanner.heldPorts()[1].port, 5);
        EXPECT_EQ(d.scanner.heldPorts()[1].device, QStringLiteral("fake5"));
    }
}

TEST(DetectScanner, RefusesToRunOncePROGRAMWasPressed)
{
    ScannerRig d;
    d.flags.bProgramming = true;
    d.port.devices = {{1, answersAt("38400", "HLV 1450OK\r\n")}};
    EXPECT_EQ(d.detect(), Detection::EndProgram);
    EXPECT_TRUE(d.port.log.isEmpty());
    EXPECT_TRUE(d.connectEvents.empty());
    EXPECT_EQ(d.scanner.State(), kDetecting);
}

// A model given with its port is held against what that one scanner says,
// asked row by row as detection asks it and at most for the five rows; it
// hears nothing but "V" CR LF, and the port it was asked on is left closed.
TEST(DetectScanner, IdentityOnOnePortNamesOnlyAModelTheScannerAnswersAs)
{
    FakeDevice held, missing;
    held.openError = CommError::PortInUse;
    missing.openError = CommError::DeviceNotOpen;
    const struct {
        const char *what;
        FakeDevice device;
        const char *name; // "": taken as named
        int endsAt;       // ms
    } cases[] = {
        {"Halvern at 38400", answersAt("38400", "HLV 1450OK\r\n"), "Halvern 1450", 200},
        {"Wexmoor by row 5", answersAt("38400", "WX 3650OK\r\n"), "Wexmoor 3650", 1000},
        {"Jorlith in compatibility mode", answersAt("19200", "JL 19.2kOK\r\n"), "Jorlith 750", 600},
        {"boot prompt", answersAt("38400", "Q"), "", 200},
        {"silent", answersAt("38400", ""), "", 1000},
        {"held by another program", held, "", 0},
        {"will not open", missing, "", 0}, // asked once, no wait
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ScannerRig d;
        d.port.devices = {{4, c.device}};
        const std::optional<FoundScanner> answered = d.scanner.identityOn(d.port, 4);
        EXPECT_EQ(answered ? answered->name : QString(), QLatin1String(c.name));
        EXPECT_EQ(answered ? answered->typeOfScanner : kNotDetected, outcomeOf(*c.name ? c.name : "").second);
        EXPECT_EQ(d.clock.now().count(), c.endsAt);
        EXPECT_EQ(d.port.writes.size(), std::size_t(c.endsAt / 200));
        for (const QByteArray &written : d.port.writes)
            EXPECT_EQ(written, "V\r\n");
        EXPECT_FALSE(d.port.portOpen()); // the port lent is not used
        EXPECT_EQ(d.port.log.filter(QStringLiteral("open 4")).size(),
                  d.port.log.filter(QStringLiteral("close 4")).size());
    }
}
