// Detection against scripted ports on a manual clock: the outcome of every
// kind of answer, the port failures and the chooser.
#include "ScannerRig.h"
#include "scanner/IdentityQuery.h"

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
        // A device on port 8 that fails while probed, and how often the probes
        // open it; ports 4 and 5 are then held by another program throughout.
        FakeDevice fault = {};
        int opens = 0;
    };
    using enum CommError;
    const auto faulty = [&hlv](const char *what, std::deque<CommError> opens, CommError openError,
                               QStringList refused, CommError write, int opened) {
        FakeDevice fault = answersAt("19200", hlv);
        fault.openResults = std::move(opens), fault.openError = openError;
        fault.refusedSettings = std::move(refused), fault.writeError = write;
        return Case{what, {{9, "38400", {"WX 3650OK\r\n"}}}, "Wexmoor 3650", 9, 1000, {}, fault, opened};
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
        // A port failing while probed is given up: opened for the enumeration, then
        // taken by another program; its first rate refused, before its 19200 rows;
        // the line failing when written; a device that will not open again stays
        // silent for every row. The ports held at the start are named at the end.
        faulty("held once probing starts", {None, PortInUse}, None, {}, None, 1),
        faulty("first rate refused", {}, None, {"38400,n,8,1"}, None, 0),
        faulty("line fails when written", {}, None, {}, WriteFailed, 1),
        faulty("no longer opens", {None}, DeviceNotOpen, {}, None, 5),
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
        if (c.fault.reply) {
            d.port.devices[8] = c.fault;
            d.port.devices[4].openError = d.port.devices[5].openError = PortInUse;
        }
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
        EXPECT_EQ(d.port.openAttempts[8], 1 + c.opens); // the enumeration's, then the probes'
        QStringList held;
        for (const auto &h : d.scanner.heldPorts())
            held << h.device;
        EXPECT_EQ(held, c.fault.reply ? QStringList({"fake4", "fake5"}) : QStringList());
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

// Before anything restarts a scanner it is asked who it is, at each rate of
// the model table, each answer awaited up to the "V" command's 500 ms and
// no longer than its line end takes: a late answer is heard, an answer that
// names no model is kept as it came, and the port lent is not touched.
TEST(IdentityQuery, TheScannersOwnAnswerWithinTheWholeBound)
{
    FakeDevice held, missing;
    held.openError = CommError::PortInUse;
    missing.openError = CommError::DeviceNotOpen;
    using K = IdentityAnswer::Kind;
    const struct {
        const char *what;
        FakeDevice device;
        int latency; // ms before each answer arrives
        K kind;
        const char *model; // Model: its name; Unknown and BootPrompt: the answer as shown
        int endsAt;        // ms
        int writes;
    } cases[] = {
        {"Halvern at 38400", answersAt("38400", "HLV 1450OK\r\n"), 0, K::Model, "Halvern 1450", 0, 1},
        {"Wexmoor after 0.4 s", answersAt("38400", "WX 3650OK\r\n"), 400, K::Model, "Wexmoor 3650", 400, 1},
        {"Jorlith in compatibility mode", answersAt("19200", "JL 19.2kOK\r\n"), 0, K::Model, "Jorlith 750",
         500, 2},
        {"an answer of no model", answersAt("38400", "HLV 1451OK\r\n"), 0, K::Unknown, "HLV 1451OK\\r\\n",
         500, 2},
        {"a bare OK", answersAt("38400", "OK\r\n"), 0, K::Unknown, "OK\\r\\n", 500, 2},
        {"boot prompt", answersAt("38400", "Q"), 0, K::BootPrompt, "Q", 1000, 2},
        // A boot software's late acknowledgement, and a rate's noise, name no model and contradict none.
        {"an acknowledgement, then the prompt", answersAt("38400", "pQ"), 0, K::BootPrompt, "pQ", 1000, 2},
        {"noise at 19200", answersAt("19200", "\x8b"), 0, K::Silent, "", 1000, 2},
        {"too late: after 1.2 s", answersAt("38400", "HLV 1450OK\r\n"), 1200, K::Silent, "", 1000, 2},
        {"silent", answersAt("38400", ""), 0, K::Silent, "", 1000, 2},
        {"held by another program", held, 0, K::NoPort, "", 0, 0},
        {"will not open", missing, 0, K::NoPort, "", 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ScannerRig d;
        d.port.devices = {{4, c.device}};
        d.port.latency = Clock::ms(c.latency);
        const IdentityAnswer answer = askIdentity(d.port, 4, d.clock, d.scanner.models());
        EXPECT_EQ(answer.kind, c.kind);
        EXPECT_EQ(c.kind == K::Model ? answer.model : shownAnswer(answer.raw), QLatin1String(c.model));
        EXPECT_EQ(d.clock.now().count(), c.endsAt);
        EXPECT_EQ(d.port.written(), QByteArray("V\r\n").repeated(c.writes)); // nothing but the query
        EXPECT_FALSE(d.port.portOpen());                                     // the port lent is not used
        EXPECT_EQ(d.port.log.filter(QStringLiteral("open 4")).size(),
                  d.port.log.filter(QStringLiteral("close 4")).size());
    }
}
