// Several scanners in one console run: each in a process of its own, read
// back by the parent as JSON, so one that stalls leaves the others alone.
#include "support/ConsoleRun.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

using namespace std::chrono_literals;
using romwright::test::ConsoleRun;
using romwright::test::runRomwright;
using romwright::test::SimProcess;

// Every line of OUT by its port; the last one, the whole run's result, apart.
struct Stream {
    std::map<int, std::vector<QJsonObject>> byPort;
    QJsonObject result;
};

Stream parse(const QString &out)
{
    Stream stream;
    QList<QJsonObject> lines = romwright::test::jsonLines(out);
    if (!lines.isEmpty())
        stream.result = lines.takeLast();
    for (const QJsonObject &line : lines)
        stream.byPort[line.value(QLatin1String("port")).toInt()].push_back(line);
    return stream;
}

// port -> "result" or "result: reason", from the whole run's result object.
std::map<int, QString> results(const QJsonObject &result)
{
    std::map<int, QString> byPort;
    for (const QJsonValue &scanner : result.value(QLatin1String("scanners")).toArray()) {
        const QString reason = scanner[QLatin1String("error")][QLatin1String("reason")].toString();
        byPort[scanner[QLatin1String("port")].toInt()] =
            scanner[QLatin1String("result")].toString() + (reason.isEmpty() ? QString() : ": " + reason);
    }
    return byPort;
}

} // namespace

// The scanner on port 2 stops answering in the middle of its firmware; its
// update ends on the route's bound while ports 1 and 3 complete exactly. The
// scanner on port 4 answers as another model than the one given and is left
// alone. The three updates share one log, which --history shows.
TEST(MultiScanner, OneStallsAndTheOthersComplete)
{
    SimProcess first({"--boot", "Q"}, QStringLiteral("first"));
    SimProcess stalled({"--boot", "Q", "--stall-after", "30"}, QStringLiteral("stalled"));
    SimProcess third({"--boot", "Q"}, QStringLiteral("third"));
    SimProcess jorlith({"--model", "jorlith"}, QStringLiteral("jorlith"));
    const QTemporaryDir state;
    const QStringList stateHome{QStringLiteral("XDG_STATE_HOME=") + state.path()};
    const ConsoleRun run =
        runRomwright({"--console", "--port", "1,2,3,4", "--file", romwright::test::kHalvernSample, "--model",
                      "halvern", "--yes", "--json", "--trace", state.filePath(QStringLiteral("run.txt"))},
                     SimProcess::portList({&first, &stalled, &third, &jorlith}), {}, QStringLiteral("0.05"),
                     {}, stateHome);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.out + run.err);
    // What a child writes on standard error (a sanitizer's report) is passed on.
    EXPECT_FALSE(run.err.contains(QLatin1String("runtime error"))) << qPrintable(run.err);

    const Stream stream = parse(run.out);
    EXPECT_EQ(stream.byPort.count(0), 0u) << "an event without its port";
    // Every scanner of the run's result, each failed one with its reason.
    EXPECT_EQ(
        results(stream.result),
        (std::map<int, QString>{{1, "completed"},
                                {2, "failed: the scanner stopped responding"},
                                {3, "completed"},
                                {4, "failed: The scanner on port 4 answers as Jorlith 750, not Halvern 1450. "
                                    "The scanner was not changed."}}));

    // The stalled update says where it ended: its 29th record ("C", "e" and
    // 28 "p" were answered) waited in vain for its "p".
    ASSERT_EQ(stream.byPort.count(2), 1u);
    const QJsonObject stalledEnd = stream.byPort.at(2).back();
    const romwright::MemoryImage image = romwright::test::halvernSampleImage();
    int block = -1; // the index in the table of the sample's 29th block that holds data
    for (int withData = 0; withData < 29 && block + 1 < int(romwright::kFlashBlocks64.size());) {
        const romwright::FlashBlock &b = romwright::kFlashBlocks64[std::size_t(++block)];
        withData += std::any_of(&image[b.Address], &image[b.Address + b.Length],
                                [](std::uint8_t byte) { return byte != romwright::kErased; });
    }
    EXPECT_EQ(stalledEnd.value(QLatin1String("phase")), QLatin1String("firmware"));
    EXPECT_EQ(stalledEnd.value(QLatin1String("block")).toInt(-1), block);
    EXPECT_EQ(stalledEnd.value(QLatin1String("awaited")), QLatin1String("p"));

    ASSERT_TRUE(first.waitForExit());
    ASSERT_TRUE(third.waitForExit());
    EXPECT_EQ(romwright::test::sampleBlocksMissing(first.dump()), 0);
    EXPECT_EQ(romwright::test::sampleBlocksMissing(third.dump()), 0);

    // Each scanner's trace apart; port 4's heard nothing but identity queries.
    for (const int port : {1, 2, 3, 4}) {
        const QByteArray text =
            romwright::test::fileBytes(state.filePath(QStringLiteral("run-port%1.txt").arg(port)));
        ASSERT_FALSE(text.isEmpty()) << port;
        EXPECT_EQ(text.count("  out   ") == text.count("  out   38400  \"V\\r\\n\""), port == 4) << port;
    }

    // Port 4 never got as far as PROGRAM: no line.
    const QList<QJsonObject> logged = romwright::test::loggedUpdates(state.path());
    ASSERT_EQ(logged.size(), 3) << qPrintable(run.err);
    for (const QJsonObject &entry : logged) {
        const int port = entry.value(QLatin1String("port")).toInt();
        SCOPED_TRACE(port);
        EXPECT_NE(port, 4);
        const auto value = [&entry](const char *key) { return entry.value(QLatin1String(key)); };
        EXPECT_EQ(value("sha256").toString(),
                  QCryptographicHash::hash(romwright::test::fileBytes(romwright::test::kHalvernSample),
                                           QCryptographicHash::Sha256)
                      .toHex());
        EXPECT_EQ(value("result"), port == 2 ? QLatin1String("stalled") : QLatin1String("completed"));
        EXPECT_EQ(value("blocksSent").toInt() < value("blocksTotal").toInt(), port == 2);
        // The stalled one keeps its last bytes: the records up to the one left unanswered.
        EXPECT_EQ(value("transcript").isString(), port == 2);
        if (port == 2) {
            const QByteArray text = romwright::test::fileBytes(state.path() + QStringLiteral("/romwright/") +
                                                               value("transcript").toString());
            EXPECT_EQ(text.count("  out   38400  \"P"), value("blocksSent").toInt() + 1) << text.constData();
        }
    }

    const ConsoleRun history = runRomwright({"--history"}, {}, {}, QStringLiteral("0.05"), {}, stateHome);
    EXPECT_EQ(history.exitCode, 0);
    EXPECT_EQ(history.out.count(QLatin1Char('\n')), 4) << qPrintable(history.out); // the heading and 3 rows
    const QString stalledRow = QStringLiteral("  2  Halvern 1450  main       Hlv1450ver5_9.s19  stalled  ");
    EXPECT_EQ(history.out.count(stalledRow), 1) << qPrintable(history.out);
}

// With the old boot software each scanner asks to be power-cycled. The
// prompts come one at a time, each naming its port; the one line of input
// goes to the scanner prompted first, and the end of input tells the other
// one no, so that it stops instead of waiting for ever.
TEST(MultiScanner, AllPortsEnterGoesToThePortPrompted)
{
    SimProcess a({"--boot", "Z"}, QStringLiteral("a"));
    SimProcess b({"--boot", "Z"}, QStringLiteral("b"));
    const ConsoleRun run =
        runRomwright({"--console", "--port", "all", "--json"},
                     SimProcess::portList({nullptr, &a, nullptr, &b}), "\n", QStringLiteral("0.2"));
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.out + run.err);

    std::vector<int> prompted;
    for (const QJsonObject &event : romwright::test::jsonLines(run.out))
        if (event.value(QLatin1String("event")) == QLatin1String("prompt"))
            prompted.push_back(event.value(QLatin1String("port")).toInt());
    ASSERT_EQ(prompted.size(), 2u) << qPrintable(run.out);
    const int answered = prompted.front();
    const int refused = prompted.back();
    std::map<int, QString> outcome = results(parse(run.out).result);
    EXPECT_TRUE(outcome[refused].startsWith(QLatin1String("failed: the power-cycle prompt")))
        << qPrintable(run.out);
    EXPECT_EQ(outcome.size(), 2u);
    EXPECT_EQ(outcome[answered], QLatin1String("completed"));
    EXPECT_TRUE(run.out.contains(QStringLiteral("\"port\":%1,\"text\":\"Standard input ended").arg(refused)))
        << qPrintable(run.out);
    EXPECT_TRUE((answered == 2 ? a : b).waitForExit()); // its final "R": the whole pass went out
}
