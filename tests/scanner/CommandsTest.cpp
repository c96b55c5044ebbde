#include "ScannerRig.h"
#include "scanner/CommandTable.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

using Rig = ScannerRig;

TEST(Commands, CommandsWithoutTextAnswerNeedNone)
{
    Rig rig(runningScanner("HLV 1450OK\r\n", {"T4", "M6"}));
    Commands &queue = rig.scanner.commands();
    const auto t4 = queue.Add(QStringLiteral("T4"));
    const auto forced = queue.ForceOKResponse();
    const auto m6 = queue.Add(QStringLiteral("M6"));
    ASSERT_TRUE(t4 && forced && m6);
    EXPECT_EQ(forced->Answer(), QLatin1String("OK"));
    EXPECT_EQ(queue.ForceOKResponse(), nullptr); // one empty command per exchange

    EXPECT_TRUE(queue.Send());
    EXPECT_EQ(t4->Answer(), QLatin1String("OK"));
    EXPECT_EQ(forced->Answer(), QLatin1String("OK"));
    EXPECT_EQ(m6->Answer(), QLatin1String("OK"));
}

TEST(Commands, QueueIsKeyedByExactText)
{
    Rig rig;
    Commands &queue = rig.scanner.commands();
    const auto first = queue.Add(QStringLiteral("M3"), true);
    EXPECT_EQ(queue.Add(QStringLiteral("M3")), nullptr);
    EXPECT_NE(queue.Add(QStringLiteral("m3")), nullptr);
    EXPECT_EQ(queue.Count(), 2);
    EXPECT_EQ(queue.Item(QStringLiteral("M3")), first);
}

TEST(Commands, NothingToSendOrNoPortIsAFailure)
{
    Rig rig;
    EXPECT_FALSE(rig.scanner.commands().Send());

    // A closed port fails the exchange instead of passing it as answered,
    // and the commands do not linger for the next one.
    rig.port.setPortOpen(false);
    rig.scanner.commands().Add(QStringLiteral("R5"), true);
    EXPECT_FALSE(rig.scanner.commands().Send());
    EXPECT_EQ(rig.scanner.commands().Count(), 0);
    EXPECT_TRUE(rig.port.writes().isEmpty());
}

TEST(SendCommand, QueuesTheRowOfTheDetectedModel)
{
    struct Step {
        const char *text;
        std::chrono::milliseconds wait;
    };
    struct Case {
        qint32 index;
        std::vector<Step> named; // Halvern 1450 and Jorlith 750
        std::vector<Step> other;
    };
    const std::vector<Case> cases = {
        {0, {{"R1", 250ms}, {"M3", 200ms}, {"R5", 250ms}, {"A2", 250ms}}, {}}, // named models only
        {1, {}, {}},                                                          // answered "OK" without a write
        {12, {{"A2", 1ms}}, {{"A2", 1ms}}},                                   // every model
        {13, {}, {}},
        {-1, {}, {}},
    };
    const std::pair<const char *, QByteArray> scanners[] = {
        {"Halvern 1450", "HLV 1450OK\r\n"},
        {"Wexmoor 3650", "WX 3650OK\r\n"},
        {"Scanner Not Found", "?"},
    };
    for (const auto &[name, identity] : scanners) {
        const bool named = QByteArray(name) != "Wexmoor 3650" && QByteArray(name) != "Scanner Not Found";
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(name) + " index " + std::to_string(c.index));
            Rig rig(runningScanner(identity));
            rig.detect();
            ASSERT_EQ(rig.scanner.Name(), QLatin1String(name));

            const QString result = rig.scanner.SendCommand(c.index);
            const auto &steps = named ? c.named : c.other;
            QStringList writes;
            std::vector<std::chrono::milliseconds> pauses;
            for (const Step &s : steps) {
                writes << QStringLiteral("write 1 9600 %1").arg(QLatin1String(s.text));
                pauses.push_back(s.wait);
            }
            EXPECT_EQ(rig.port.writes(), writes);
            EXPECT_EQ(rig.sleeper.pauses, pauses);
            const QString expected = named && c.index == 1 ? QStringLiteral("OK")
                                     : steps.empty()       ? QString()
                                                           : QLatin1String(steps.back().text) + QStringLiteral("\r\n");
            EXPECT_EQ(result, expected);
            EXPECT_EQ(rig.scanner.commands().Count(), 0);
        }
    }
}

TEST(SendCommand, BeforeDetectionOnlyTheCommonCommandsGoOut)
{
    Rig rig;
    EXPECT_TRUE(rig.scanner.SendCommand(7).isEmpty());
    EXPECT_EQ(rig.scanner.SendCommand(9), QLatin1String("T4\r\n"));
    EXPECT_EQ(rig.port.writes(), QStringList{QStringLiteral("write 1 9600 T4")});
}

TEST(SendCommand, AnUnansweredMiddleCommandLeavesTheResultEmpty)
{
    Rig rig(runningScanner("JL 750OK\r\n", {"R5"}));
    rig.detect();
    EXPECT_TRUE(rig.scanner.SendCommand(7).isEmpty());
    EXPECT_EQ(rig.port.writes(), (QStringList{QStringLiteral("write 1 9600 M3"), QStringLiteral("write 1 9600 R5")}));
}

TEST(ConvertToHex, FirstCharacterAsTwoUpperCaseDigits)
{
    const std::pair<QString, const char *> cases[] = {
        {QStringLiteral("\x0b rest"), "0B"}, {QString(QChar(0)), "00"},   {QStringLiteral("\n"), "0A"},
        {QStringLiteral("M3"), "4D"},         {QString(QChar(0xFF)), "FF"}, {QString(QChar(0x20AC)), "3F"},
        {QString(), ""},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(Scanner::ConvertToHex(in), QLatin1String(out)) << in.toStdString();
}
