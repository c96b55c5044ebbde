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
        // An answer that is no model's and no clean greeting gives the port up at once.
        {"compatibility answer at 38400 is no answer", {{4, "38400", {compat}}}, none, 4, 200},
        {"identity without its line end", {{3, "38400", {"HLV 1450OK"}}}, none, 3, 200},
        {"identity with a character more", {{3, "38400", {hlv + ' '}}}, none, 3, 200},
        {"identity in the wrong case", {{3, "38400", {hlv.toLower()}}}, none, 3, 200},
        {"identity and a stray A", {{3, "38400", {jl + 'A'}}}, none, 3, 200},
        {"an answer ending in A", {{3, "38400", {"JL 750 REV A"}}}, none, 3, 200},
        {"a line end before the prompt", {{5, "38400", {"\r\nA"}}}, none, 5, 200},
        {"\"0\" lets the next model try", {{6, "38400", {"0", jl}}}, "Jorlith 750", 6, 400},
        {"the last of two scanners wins", {{1, "38400", {hlv}}, {4, "38400", {jl}}}, "Jorlith 750", 4, 400},
        {"a find outlasts compat", {{1, "38400", {hlv}}, {2, "19200", {compat}}}, "Halvern 1450", 1, 600},
        {"boot prompt, Halvern chosen", {{5, "38400", {"Q"}}}, "Halvern 1450", 5, 200, {"Halvern1450"}},
        {"boot prompt, Wexmoor chosen", {{5, "38400", {"AA"}}}, "Wexmoor 3650", 5, 200, {"Wexmoor 3650"}},
        {"the old boot software's Z at 19200", {{5, "19200", {"Z"}}}, "Jorlith 750", 5, 600, {"Jorlith750"}},
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
    EXPECT_EQ(d.scanner.State(), kDetecting);
}

// Before anything restarts a scanner it is asked who it is, at each rate of
// the model table, each rate listened to for the "V" command's 500 ms and a
// grace period more, on a port held from the first rate to the last. Only
// exactly a model's answer names it; only no byte or a clean greeting lets a
// name given decide; anything else is refused as it came.
TEST(IdentityQuery, OnlyACleanAnswerOrACleanSilence)
{
    FakeDevice held, missing;
    held.openError = CommError::PortInUse;
    missing.openError = CommError::DeviceNotOpen;
    // The old boot software says "Z" at 19200; heard at 38400 that is a byte with its top bit set.
    FakeDevice oldBoot;
    oldBoot.reply = [](const QByteArray &, const QString &settings) {
        return QByteArray(settings.startsWith(QLatin1String("19200")) ? "Z" : "\x80");
    };
    using K = IdentityAnswer::Kind;
    const struct {
        const char *what;
        FakeDevice device;
        int latency; // ms before each answer arrives
        K kind;
        const char *model; // Model: its name; else the answer as shown
        int endsAt;        // ms
        int writes;
    } cases[] = {
        {"Halvern at 38400", answersAt("38400", "HLV 1450OK\r\n"), 0, K::Model, "Halvern 1450", 900, 1},
        {"Wexmoor after 0.4 s", answersAt("38400", "WX 3650OK\r\n"), 400, K::Model, "Wexmoor 3650", 900, 1},
        {"Halvern 0.7 s late, within the grace", answersAt("38400", "HLV 1450OK\r\n"), 700, K::Model,
         "Halvern 1450", 900, 1},
        {"Jorlith in compatibility mode", answersAt("19200", "JL 19.2kOK\r\n"), 0, K::Model, "Jorlith 750",
         1700, 2},
        {"an answer of no model", answersAt("38400", "HLV 1451OK\r\n"), 0, K::Unknown, "HLV 1451OK\\r\\n",
         900, 1},
        {"a bare OK", answersAt("38400", "OK\r\n"), 0, K::Unknown, "OK\\r\\n", 900, 1},
        {"LF only", answersAt("38400", "JL 750OK\n"), 0, K::Unknown, "JL 750OK\\n", 900, 1},
        {"CR only", answersAt("38400", "JL 750OK\r"), 0, K::Unknown, "JL 750OK\\r", 900, 1},
        {"two NULs", answersAt("38400", QByteArray(2, '\0')), 0, K::Unknown, "\\x00\\x00", 900, 1},
        {"an answer, then a stray A", answersAt("38400", "JL 750OK\r\nA"), 0, K::Unknown, "JL 750OK\\r\\nA",
         900, 1},
        {"an answer ending in A", answersAt("38400", "JL 750 REV A"), 0, K::Unknown, "JL 750 REV A", 900, 1},
        {"noise at 19200", answersAt("19200", "\x8b"), 0, K::Unknown, "\\x8b", 1700, 2},
        {"too late: after 1.2 s, heard at the next rate", answersAt("38400", "WX 3650OK\r\n"), 1200,
         K::Unknown, "WX 3650OK\\r\\n", 1700, 2},
        {"an acknowledgement, then the prompt", answersAt("38400", "pQ"), 0, K::Unknown, "pQ", 900, 1},
        {"boot prompt", answersAt("38400", "Q"), 0, K::BootPrompt, "Q", 1700, 2},
        {"boot prompt repeated", answersAt("38400", "AA"), 0, K::BootPrompt, "AA", 1700, 2},
        {"two boot prompts", answersAt("38400", "QA"), 0, K::Unknown, "QA", 900, 1},
        {"the old boot software's Z", oldBoot, 0, K::BootPrompt, "Z", 1700, 2},
        {"silent", answersAt("38400", ""), 0, K::Silent, "", 1700, 2},
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
        EXPECT_LE(d.port.log.filter(QStringLiteral("open 4")).size(), 1); // held to the last rate
    }
}
