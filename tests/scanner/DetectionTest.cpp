// Detection against scripted ports: the answers, failures and choices a
// simulator on a pseudo-terminal cannot produce. The probing order itself is
// checked on real lines in PtyDetectionTest.
#include "FakeSerialPort.h"
#include "RecordingSleeper.h"
#include "view/ProgramFlags.h"
#include "view/ViewState.h"
#include "scanner/Scanner.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

namespace {

// Records whether the hourglass was up while the chooser was shown.
class ChooserDialogs : public ScriptedDialogs {
public:
    explicit ChooserDialogs(const MainView &view) : m_view(view) {}
    std::optional<QString> chooseScanner() override
    {
        busyWhileShown.push_back(m_view.isBusy());
        return ScriptedDialogs::chooseScanner();
    }
    std::vector<bool> busyWhileShown;

private:
    const MainView &m_view;
};

struct Detector {
    ViewState view;
    ChooserDialogs dialogs{view};
    ProgramFlags flags;
    RecordingSleeper sleeper;
    FakeSerialPort port;
    Scanner scanner{sleeper, dialogs, view, flags};
    std::vector<bool> connectEvents;
    qint16 commPort = 0;

    Detector()
    {
        scanner.setComm(&port);
        QObject::connect(&scanner, &Scanner::ScannerConnect, [this](bool ok) { connectEvents.push_back(ok); });
    }
    Detection run() { return scanner.DetectScanner(commPort); }
};

FakeDevice device(std::function<QByteArray(const QByteArray &, const QString &)> reply)
{
    FakeDevice d;
    d.reply = std::move(reply);
    return d;
}

FakeDevice silent()
{
    return FakeDevice{};
}

// Answers the n-th identity query (counting from 0) with answers[n].
FakeDevice answersInTurn(std::vector<QByteArray> answers)
{
    auto count = std::make_shared<std::size_t>(0);
    return device([answers, count](const QByteArray &, const QString &) {
        const std::size_t n = (*count)++;
        return n < answers.size() ? answers[n] : QByteArray();
    });
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
        {"Halvern at 38400 on port 3", {{3, device(answersAt("38400", "HLV 1450OK\r\n"))}}, "Halvern 1450", kHalvern1450, 3},
        {"compatibility answer at 38400 is no answer", {{4, device(answersAt("38400", "JL 19.2kOK\r\n"))}}, nullptr, 0, 4},
        {"identity without its line end", {{3, device(answersAt("38400", "HLV 1450OK"))}}, nullptr, 0, 3},
        {"identity with a character more", {{3, device(answersAt("38400", "HLV 1450OK\r\n "))}}, nullptr, 0, 3},
        {"identity in the wrong case", {{3, device(answersAt("38400", "hlv 1450ok\r\n"))}}, nullptr, 0, 3},
        {"\"0\" lets the next model try", {{6, answersInTurn({"0", "JL 750OK\r\n"})}}, "Jorlith 750", kJorlith750, 6},
        {"a find outlives a later compatibility answer",
         {{1, device(answersAt("38400", "HLV 1450OK\r\n"))}, {2, device(answersAt("19200", "JL 19.2kOK\r\n"))}},
         "Halvern 1450", kHalvern1450, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Detector d;
        d.port.devices = c.devices;
        const bool found = c.name != nullptr;
        EXPECT_EQ(d.run(), found ? Detection::Found : Detection::NotFound);
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

TEST(DetectScanner, ProbesEveryModelWithVCrLfAndA200msPause)
{
    Detector d;
    d.port.devices = {{1, silent()}, {3, device(answersAt("38400", "HLV 1450OK\r\n"))}};
    ASSERT_EQ(d.run(), Detection::Found);
    EXPECT_EQ(d.port.writes(), (QStringList{
                                   QStringLiteral("write 1 38400 V\r\n"),
                                   QStringLiteral("write 1 38400 V\r\n"),
                                   QStringLiteral("write 1 19200 V\r\n"),
                                   QStringLiteral("write 1 19200 V\r\n"),
                                   QStringLiteral("write 1 38400 V\r\n"),
                                   QStringLiteral("write 3 38400 V\r\n"),
                               }));
    EXPECT_EQ(d.sleeper.pauses, std::vector<std::chrono::milliseconds>(6, 200ms));
}

TEST(DetectScanner, PortFailuresWhileProbingGiveThePortUp)
{
    struct FailureCase {
        const char *what;
        FakeDevice failing;
        int probesOnFailingPort;
    };
    auto halvern = answersAt("19200", "HLV 1450OK\r\n");
    FailureCase cases[] = {
        // Opened for the enumeration, then taken by another program.
        {"held once probing starts", FakeDevice{{CommError::None, CommError::PortInUse}, CommError::None, {}, CommError::None, halvern}, 0},
        // The rate of the first row is refused: the port is given up before
        // its 19200 rows are reached.
        {"first rate refused", FakeDevice{{}, CommError::None, {QStringLiteral("38400,n,8,1")}, CommError::None, halvern}, 0},
        {"line fails when written", FakeDevice{{}, CommError::None, {}, CommError::WriteFailed, halvern}, 1},
        // A device that will not open again just stays silent for every row.
        {"no longer opens", FakeDevice{{CommError::None}, CommError::DeviceNotOpen, {}, CommError::None, halvern}, 5},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        Detector d;
        d.port.devices = {{2, c.failing}, {9, device(answersAt("38400", "WX 3650OK\r\n"))}};
        EXPECT_EQ(d.run(), Detection::Found);
        EXPECT_EQ(d.scanner.Name(), QLatin1String("Wexmoor 3650"));
        EXPECT_EQ(d.scanner.ComPort(), 9);
        // Pauses: one per probe on port 2, and port 9's five rows up to the Wexmoor.
        EXPECT_EQ(d.sleeper.pauses.size(), static_cast<std::size_t>(c.probesOnFailingPort + 5));
        EXPECT_FALSE(d.view.isBusy());
    }
}

TEST(DetectScanner, BootPromptAsksTheUser)
{
    struct ChoiceCase {
        const char *what;
        QByteArray prompt;
        std::deque<std::optional<QString>> choices; // empty: closed without a choice
        Detection result;
        const char *name;
        qint32 type;
    };
    const ChoiceCase cases[] = {
        {"Halvern chosen", "Q", {QStringLiteral("Halvern1450")}, Detection::Found, "Halvern 1450", kHalvern1450},
        {"Wexmoor chosen", "\r\nA", {QStringLiteral("Wexmoor 3650")}, Detection::Found, "Wexmoor 3650", kWexmoor3650},
        {"any other text", "A", {QStringLiteral("Halvern 1450")}, Detection::Found, "Wexmoor 3650", kWexmoor3650},
        {"closed without a choice", "Q", {}, Detection::Found, "Halvern 1450", kHalvern1450},
        {"Exit", "Q", {std::nullopt}, Detection::EndProgram, "", kNotDetected},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Detector d;
        d.dialogs.chooserAnswers = c.choices;
        d.port.devices = {{5, device(answersAt("38400", c.prompt))}};
        EXPECT_EQ(d.run(), c.result);
        EXPECT_EQ(d.dialogs.chooserShown, 1);
        EXPECT_EQ(d.dialogs.busyWhileShown, std::vector<bool>{false});
        EXPECT_EQ(d.scanner.Name(), QLatin1String(c.name));
        EXPECT_EQ(d.scanner.TypeOfScanner(), c.type);
        EXPECT_EQ(d.commPort, c.result == Detection::Found ? 5 : 0);
        EXPECT_FALSE(d.view.isBusy());
        EXPECT_FALSE(d.port.portOpen());
        // Found at the first row: nothing more is asked of that port.
        EXPECT_EQ(d.port.writes().size(), 1);
    }
}

TEST(DetectScanner, RefusesToRunOncePROGRAMWasPressed)
{
    Detector d;
    d.flags.bProgramming = true;
    d.port.devices = {{1, device(answersAt("38400", "HLV 1450OK\r\n"))}};
    EXPECT_EQ(d.run(), Detection::EndProgram);
    EXPECT_TRUE(d.port.log.isEmpty());
    EXPECT_TRUE(d.connectEvents.empty());
    EXPECT_EQ(d.scanner.State(), kDetecting);
}
