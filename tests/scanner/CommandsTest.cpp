// The command queue and SendCommand's table on a manual clock: each command
// written, the queue's pause, its answer read.
#include "ScannerRig.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

TEST(Commands, CommandsWithoutTextAnswerNeedNoneAndNothingSentIsAFailure)
{
    ScannerRig rig;
    rig.attach("HLV 1450OK\r\n", {"T4", "M6"});
    Commands &queue = rig.scanner.commands();
    const auto t4 = queue.Add(QStringLiteral("T4"));
    const auto forced = queue.ForceOKResponse();
    const auto m6 = queue.Add(QStringLiteral("M6"));
    ASSERT_TRUE(t4 && forced && m6);
    EXPECT_EQ(queue.ForceOKResponse(), nullptr);         // one empty command per exchange
    EXPECT_EQ(queue.Add(QStringLiteral("T4")), nullptr); // keyed by the exact text
    EXPECT_NE(queue.Add(QStringLiteral("t4")), nullptr);

    EXPECT_TRUE(queue.Send());
    for (const auto &command : {t4, forced, m6})
        EXPECT_EQ(command->Answer(), QLatin1String("OK"));
    EXPECT_EQ(queue.Count(), 0);

    // Nothing to send is a failure; so is a closed port, and the commands do not linger.
    EXPECT_FALSE(queue.Send());
    rig.port.writes.clear();
    rig.port.setPortOpen(false);
    queue.Add(QStringLiteral("R5"), true);
    EXPECT_FALSE(queue.Send());
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_TRUE(rig.port.writes.empty());
}

// Each command goes out once the one before has had its wait (250 ms when
// the table gives none); the result is the last command's answer.
TEST(SendCommand, QueuesTheRowOfTheDetectedModelWithItsWaits)
{
    // Per command index: each write as "time:command", then the time SendCommand returns.
    const struct {
        qint32 index;
        const char *named; // Halvern 1450 and Jorlith 750
        const char *other;
    } cases[] = {
        {0, "0:R1 250:M3 450:R5 700:A2 950", "0"},
        {1, "0", "0"}, // the named models answer "OK" without a write
        {4, "0:V 500", "0:V 500"},
        {6, "0", "0"}, // refused for the named models
        {7, "0:M3 200:R5 450:A2 700", "0"},
        {12, "0:A2 1", "0:A2 1"},
        {13, "0", "0"},
        {-1, "0", "0"},
    };
    const std::pair<const char *, QByteArray> scanners[] = {
        {"Halvern 1450", "HLV 1450OK\r\n"}, {"Wexmoor 3650", "WX 3650OK\r\n"}, {"Scanner Not Found", "?"}};
    for (const auto &[name, identity] : scanners) {
        const bool named = QByteArray(name) == "Halvern 1450";
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(name) + " index " + std::to_string(c.index));
            ScannerRig rig;
            rig.attach(identity);
            ASSERT_EQ(rig.scanner.Name(), QLatin1String(name));
            const QString result = rig.scanner.SendCommand(c.index);
            QStringList timeline;
            for (std::size_t i = 0; i < rig.port.writes.size(); ++i)
                timeline << QString::number((rig.port.writeTimes[i] - rig.start).count()) + QLatin1Char(':') +
                                QString::fromLatin1(rig.port.writes[i]);
            timeline << QString::number((rig.clock.now() - rig.start).count());
            EXPECT_EQ(timeline.join(QLatin1Char(' ')), QLatin1String(named ? c.named : c.other));
            // The answer is the last command's echo.
            EXPECT_EQ(result, named && c.index == 1 ? QStringLiteral("OK")
                              : rig.port.writes.empty()
                                  ? QString()
                                  : QString::fromLatin1(rig.port.writes.back() + "\r\n"));
        }
    }
}

TEST(SendCommand, AnUnansweredMiddleCommandLeavesTheResultEmpty)
{
    ScannerRig rig;
    rig.attach("JL 750OK\r\n", {"R5"});
    EXPECT_TRUE(rig.scanner.SendCommand(7).isEmpty());
    EXPECT_EQ(rig.port.written(), "M3R5");
}

TEST(ConvertToHex, FirstCharacterAsTwoUpperCaseDigits)
{
    const std::pair<QString, const char *> cases[] = {
        {"\x0b rest", "0B"},          {QString(QChar(0)), "00"},      {"\n", "0A"}, {"M3", "4D"},
        {QString(QChar(0xFF)), "FF"}, {QString(QChar(0x20AC)), "3F"}, {"", ""}};
    for (const auto &[in, out] : cases)
        EXPECT_EQ(Scanner::ConvertToHex(in), QLatin1String(out)) << in.toStdString();
}
