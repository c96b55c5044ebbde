// Detection against scripted ports: the answers, failures and choices a
// simulator on a pseudo-terminal cannot produce. The probing order on real
// lines is in PtyDetectionTest.
#include "ScannerRig.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;

namespace {

// Answers the n-th identity query (counting from 0) with answers[n].
FakeDevice answersInTurn(std::vector<QByteArray> answers)
{
    FakeDevice d;
    d.reply = [answers, count = std::make_shared<std::size_t>(0)](const QByteArray &, const QString &) {
        const std::size_t n = (*count)++;
        return n < answers.size() ? answers[n] : QByteArray();
    };
    return d;
}

} // namespace

TEST(DetectScanner, OnlyAnExactIdentityAtItsRateFindsAModel)
{
    struct Case {
        const char *what;
        std::map<int, FakeDevice> devices;
        const char *name; // nullptr: not found
        qint32 type;
        qint16 comPort;
    };
    const Case cases[] = {
        {"no port opens", {}, nullptr, 0, 0},
        {"Halvern at 38400 on port 3",
         {{3, answersAt("38400", "HLV 1450OK\r\n")}},
         "Halvern 1450",
         kHalvern1450,
         3},
        {"compatibility answer at 38400 is no answer",
         {{4, answersAt("38400", "JL 19.2kOK\r\n")}},
         nullptr,
         0,
         4},
        {"identity without its line end", {{3, answersAt("38400", "HLV 1450OK")}}, nullptr, 0, 3},
        {"identity with a character more", {{3, answersAt("38400", "HLV 1450OK\r\n ")}}, nullptr, 0, 3},
        {"identity in the wrong case", {{3, answersAt("38400", "hlv 1450ok\r\n")}}, nullptr, 0, 3},
        {"\"0\" lets the next model try",
         {{6, answersInTurn({"0", "JL 750OK\r\n"})}},
         "Jorlith 750",
         kJorlith750,
         6},
        {"a find outlives a later compatibility answer",
         {{1, answersAt("38400", "HLV 1450OK\r\n")}, {2, answersAt("19200", "JL 19.2kOK\r\n")}},
         "Halvern 1450",
         kHalvern1450,
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScannerRig d;
        d.port.devices = c.devices;
        if (c.devices.empty())
            d.port.openError = CommError::NoSuchPort;
        const bool found = c.name != nullptr;
        EXPECT_EQ(d.detect(), found ? Detection::Found : Detection::NotFound);
        EXPECT_EQ(d.scanner.State(), found ? kScannerFound : kNoScanner);
        EXPECT_EQ(d.scanner.Name(), QLatin1String(found ? c.name : "Scanner Not Found"));
        EXPECT_EQ(d.scanner.TypeOfScanner(), found ? c.type : kNoScannerFound);
        EXPECT_EQ(d.scanner.ComPort(), c.comPort);
        EXPECT_EQ(d.commPort, found ? c.comPort : 0);
        EXPECT_EQ(d.connectEvents, (std::vector<bool>{false, found}));
        EXPECT_FALSE(d.view.isBusy());
        EXPECT_FALSE(d.port.portOpen()); // detection leaves the port closed
        EXPECT_EQ(d.dialogs.chooserShown, 0);
    }
}

// Every port hears each model row with "V" CR LF, all ports together, and
// one 200 ms wait serves the row.
TEST(DetectScanner, ProbesEveryModelWithVCrLfAnd200msEach)
{
    ScannerRig d;
    d.port.devices = {{1, FakeDevice{}}, {3, answersAt("38400", "HLV 1450OK\r\n")}};
    ASSERT_EQ(d.detect(), Detection::Found);
    EXPECT_EQ(d.port.writeLog(),
              (QStringList{"write 1 38400 V\r\n", "write 3 38400 V\r\n", "write 1 38400 V\r\n",
                           "write 1 19200 V\r\n", "write 1 19200 V\r\n", "write 1 38400 V\r\n"}));
    EXPECT_EQ(d.port.writeTimes, (std::vector<Clock::ms>{Clock::ms(0), Clock::ms(0), Clock::ms(200),
                                                         Clock::ms(400), Clock::ms(600), Clock::ms(800)}));
    EXPECT_EQ(d.clock.now().count(), 1000);
}

TEST(DetectScanner, PortFailuresWhileProbingGiveThePortUp)
{
    struct Case {
        const char *what;
        FakeDevice failing;
        int probeOpensOnFailingPort; // after the enumeration's
    };
    FakeDevice halvern = answersAt("19200", "HLV 1450OK\r\n");
    auto failing = [&halvern](std::deque<CommError> opens, CommError openError, QStringList refused,
                              CommError write) {
        FakeDevice d = halvern;
        d.openResults = std::move(opens);
        d.openError = openError;
        d.refusedSettings = std::move(refused);
        d.writeError = write;
        return d;
    };
    const Case cases[] = {
        // Opened for the enumeration, then taken by another program.
        {"held once probing starts",
         failing({CommError::None, CommError::PortInUse}, CommError::None, {}, CommError::None), 1},
        // The first row's rate is refused: given up before its 19200 rows.
        {"first rate refused", failing({}, CommError::None, {"38400,n,8,1"}, CommError::None), 0},
        {"line fails when written", failing({}, CommError::None, {}, CommError::WriteFailed), 1},
        // A device that will not open again stays silent for every row.
        {"no longer opens", failing({CommError::None}, CommError::DeviceNotOpen, {}, CommError::None), 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScannerRig d;
        d.port.devices = {{2, c.failing}, {9, answersAt("38400", "WX 3650OK\r\n")}};
        EXPECT_EQ(d.detect(), Detection::Found);
        EXPECT_EQ(d.scanner.Name(), QLatin1String("Wexmoor 3650"));
        EXPECT_EQ(d.scanner.ComPort(), 9);
        EXPECT_EQ(d.port.openAttempts[2], 1 + c.probeOpensOnFailingPort);
        EXPECT_EQ(d.clock.now().count(), 1000); // port 9's five rows up to the Wexmoor
        EXPECT_FALSE(d.view.isBusy());
    }
}

TEST(DetectScanner, BootPromptAsksTheUser)
{
    struct Case {
        const char *what;
        QByteArray prompt;
        std::deque<std::optional<QString>> choices; // empty: closed without a choice
        Detection result;
        const char *name;
        qint32 type;
    };
    const Case cases[] = {
        {"Halvern chosen",
         "Q",
         {QStringLiteral("Halvern1450")},
         Detection::Found,
         "Halvern 1450",
         kHalvern1450},
        {"Wexmoor chosen",
         "\r\nA",
         {QStringLiteral("Wexmoor 3650")},
         Detection::Found,
         "Wexmoor 3650",
         kWexmoor3650},
        {"any other text",
         "A",
         {QStringLiteral("Halvern 1450")},
         Detection::Found,
         "Wexmoor 3650",
         kWexmoor3650},
        {"closed without a choice", "Q", {}, Detection::Found, "Halvern 1450", kHalvern1450},
        {"Exit", "Q", {std::nullopt}, Detection::EndProgram, "", kNotDetected},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScannerRig d;
        d.dialogs.chooserAnswers = c.choices;
        d.port.devices = {{5, answersAt("38400", c.prompt)}};
        EXPECT_EQ(d.detect(), c.result);
        EXPECT_EQ(d.dialogs.busyWhileShown, std::vector<bool>{false});
        EXPECT_EQ(d.scanner.Name(), QLatin1String(c.name));
        EXPECT_EQ(d.scanner.TypeOfScanner(), c.type);
        EXPECT_EQ(d.commPort, c.result == Detection::Found ? 5 : 0);
        EXPECT_FALSE(d.view.isBusy());
        EXPECT_FALSE(d.port.portOpen());
        EXPECT_EQ(d.port.writeLog().size(), 1); // found at the first row: nothing more is asked of that port
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
