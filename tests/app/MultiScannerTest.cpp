// Several scanners in one console run: each in a process of its own, read
// back by the parent as JSON, so one that stalls leaves the others alone.
#include "image/FlashLayout.h"
#include "image/ParseMotorolaSrecords.h"
#include "support/ConsoleRun.h"
#include "support/SimProcess.h"
#include "support/TestPaths.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace {

using namespace std::chrono_literals;
using romwright::test::ConsoleRun;
using romwright::test::runRomwright;
using romwright::test::SimProcess;

// The sample's image as the update sends it.
romwright::MemoryImage sampleImage()
{
    romwright::MemoryImage image;
    image.fill(romwright::kErased);
    EXPECT_TRUE(romwright::ParseSrecordFile(romwright::test::kHalvernSample, image).ok());
    romwright::RelocateVectors(image);
    return image;
}

// The index in the table of the nth block of the sample that holds data (n from 1).
int nthBlockWithData(int n)
{
    const romwright::MemoryImage image = sampleImage();
    for (std::size_t i = 0; i < romwright::kFlashBlocks64.size(); ++i) {
        const romwright::FlashBlock &block = romwright::kFlashBlocks64[i];
        if (block.Length > 0 &&
            std::any_of(&image[block.Address], &image[block.Address + block.Length],
                        [](std::uint8_t b) { return b != romwright::kErased; }) &&
            --n == 0)
            return int(i);
    }
    return -1;
}

// Blocks of the sample's image that the flash does not hold.
int blocksMissing(const QByteArray &flash)
{
    const romwright::MemoryImage image = sampleImage();
    if (flash.size() != qsizetype(image.size()))
        return -1;
    int missing = 0;
    for (const romwright::FlashBlock &block : romwright::kFlashBlocks64)
        missing +=
            std::memcmp(flash.constData() + block.Address, image.data() + block.Address, block.Length) != 0;
    return missing;
}

// Every line of OUT as a JSON object; the last one, the whole run's result, apart.
struct Stream {
    std::map<int, std::vector<QJsonObject>> byPort;
    QJsonObject result;
};

Stream parse(const QString &out)
{
    Stream stream;
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QJsonDocument document = QJsonDocument::fromJson(lines[i].toUtf8());
        EXPECT_TRUE(document.isObject()) << qPrintable(lines[i]);
        if (i + 1 == lines.size())
            stream.result = document.object();
        else
            stream.byPort[document.object().value(QLatin1String("port")).toInt()].push_back(
                document.object());
    }
    return stream;
}

// port -> result, and port -> the reason of a failed one, from the whole run's result object.
std::map<int, QString> results(const QJsonObject &result, const char *key = "result")
{
    std::map<int, QString> byPort;
    for (const QJsonValue &scanner : result.value(QLatin1String("scanners")).toArray())
        byPort[scanner[QLatin1String("port")].toInt()] =
            std::strcmp(key, "result") == 0 ? scanner[QLatin1String("result")].toString()
                                            : scanner[QLatin1String("error")][QLatin1String(key)].toString();
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
    for (const SimProcess *sim : {&first, &stalled, &third, &jorlith})
        ASSERT_TRUE(sim->isReady()) << qPrintable(sim->errorText());
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
    for (const int port : {1, 2, 3, 4}) {
        ASSERT_EQ(stream.byPort.count(port), 1u) << port;
        const QJsonObject last = stream.byPort.at(port).back();
        EXPECT_EQ(last.value(QLatin1String("event")), QLatin1String("result")) << port;
        EXPECT_EQ(last.value(QLatin1String("status")).toInt(), port % 2 == 0 ? 1 : 0) << port;
    }
    const auto &fourth = stream.byPort.at(4);
    const auto error = std::find_if(fourth.begin(), fourth.end(), [](const QJsonObject &event) {
        return event.value(QLatin1String("event")) == QLatin1String("error");
    });
    ASSERT_NE(error, fourth.end());
    EXPECT_EQ(
        error->value(QLatin1String("text")),
        QLatin1String("The scanner on port 4 answers as Jorlith 750, not Halvern 1450. The scanner was not "
                      "changed."));
    EXPECT_EQ(stream.result.value(QLatin1String("event")), QLatin1String("result"));
    EXPECT_EQ(stream.result.value(QLatin1String("status")).toInt(), 1);
    EXPECT_EQ(results(stream.result),
              (std::map<int, QString>{{1, "completed"}, {2, "failed"}, {3, "completed"}, {4, "failed"}}));

    // The stalled update says where it ended: its 29th record ("C", "e" and
    // 28 "p" were answered) waited in vain for its "p".
    const QJsonObject stalledEnd = stream.byPort.at(2).back();
    const int block = nthBlockWithData(29);
    ASSERT_GE(block, 0);
    EXPECT_EQ(stalledEnd.value(QLatin1String("phase")), QLatin1String("firmware"));
    EXPECT_EQ(stalledEnd.value(QLatin1String("reason")), QLatin1String("the scanner stopped responding"));
    EXPECT_EQ(stalledEnd.value(QLatin1String("block")).toInt(-1), block);
    EXPECT_EQ(stalledEnd.value(QLatin1String("address")).toInt(-1), romwright::kFlashBlocks64[block].Address);
    EXPECT_EQ(stalledEnd.value(QLatin1String("awaited")), QLatin1String("p"));
    for (const QJsonObject &event : stream.byPort.at(2)) {
        if (event.value(QLatin1String("event")) == QLatin1String("progress")) {
            EXPECT_EQ(event.value(QLatin1String("phase")), QLatin1String("firmware"));
        }
    }
    // Every failed scanner of the run's result carries its reason.
    EXPECT_EQ(results(stream.result, "reason"),
              (std::map<int, QString>{{1, ""},
                                      {2, "the scanner stopped responding"},
                                      {3, ""},
                                      {4, "The scanner on port 4 answers as Jorlith 750, not Halvern 1450. "
                                          "The scanner was not changed."}}));
    EXPECT_EQ(results(stream.result, "phase")[2], QLatin1String("firmware"));

    ASSERT_TRUE(first.waitForExit(5s));
    ASSERT_TRUE(third.waitForExit(5s));
    EXPECT_EQ(blocksMissing(first.dump()), 0);
    EXPECT_EQ(blocksMissing(third.dump()), 0);

    // Each scanner's trace apart; port 4's heard nothing but identity queries.
    for (const int port : {1, 2, 3, 4}) {
        QFile trace(state.filePath(QStringLiteral("run-port%1.txt").arg(port)));
        ASSERT_TRUE(trace.open(QIODevice::ReadOnly)) << port;
        const QByteArray text = trace.readAll();
        EXPECT_GE(text.count("  out   38400  \"V\\r\\n\""), 1) << port;
        EXPECT_EQ(text.count("  out   ") == text.count("  out   38400  \"V\\r\\n\""), port == 4)
            << text.constData();
        EXPECT_EQ(text.contains("  out   38400  \"z\""), port != 4) << text.constData();
    }

    // Port 4 never got as far as PROGRAM: no line.
    const QList<QJsonObject> logged = romwright::test::loggedUpdates(state.path());
    std::map<int, QJsonObject> byPort;
    for (const QJsonObject &entry : logged)
        byPort[entry.value(QLatin1String("port")).toInt()] = entry;
    ASSERT_EQ(logged.size(), 3) << qPrintable(run.err);
    ASSERT_EQ(byPort.size(), 3u);
    for (const auto &[port, entry] : byPort) {
        SCOPED_TRACE(port);
        const auto value = [&entry](const char *key) { return entry.value(QLatin1String(key)); };
        EXPECT_EQ(value("sha256").toString(), romwright::test::sha256Of(romwright::test::kHalvernSample));
        EXPECT_EQ(value("size").toInteger(), QFileInfo(romwright::test::kHalvernSample).size());
        EXPECT_EQ(value("model"), QLatin1String("Halvern 1450"));
        EXPECT_EQ(value("boot"), QLatin1String("Q"));
        EXPECT_EQ(value("result"), port == 2 ? QLatin1String("stalled") : QLatin1String("completed"));
        EXPECT_GT(value("blocksTotal").toInt(), 0);
        EXPECT_EQ(value("blocksSent").toInt() < value("blocksTotal").toInt(), port == 2);
        EXPECT_GT(value("seconds").toDouble(), 0);
        // The stalled one keeps its last bytes: the records up to the one left unanswered.
        EXPECT_EQ(value("transcript").isString(), port == 2);
        if (port == 2) {
            QFile transcript(state.path() + QStringLiteral("/romwright/") + value("transcript").toString());
            ASSERT_TRUE(transcript.open(QIODevice::ReadOnly));
            const QByteArray text = transcript.readAll();
            EXPECT_EQ(text.count("  out   38400  \"P"), value("blocksSent").toInt() + 1) << text.constData();
        }
    }

    const ConsoleRun history = runRomwright({"--history"}, {}, {}, QStringLiteral("0.05"), {}, stateHome);
    EXPECT_EQ(history.exitCode, 0);
    const QStringList rows = history.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4) << qPrintable(history.out);
    EXPECT_TRUE(rows[0].startsWith(QLatin1String("started"))) << qPrintable(rows[0]);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject &entry = logged[i]; // in the log's order, the newest last
        EXPECT_TRUE(
            rows[i + 1].contains(QStringLiteral("  %1  Halvern 1450  main       Hlv1450ver5_9.s19  %2")
                                     .arg(entry.value(QLatin1String("port")).toInt())
                                     .arg(entry.value(QLatin1String("result")).toString(), -9)))
            << qPrintable(rows[i + 1]);
    }
}

// With the old boot software each scanner asks to be power-cycled. The
// prompts come one at a time, each naming its port; the one line of input
// goes to the scanner prompted first, and the end of input tells the other
// one no, so that it stops instead of waiting for ever.
TEST(MultiScanner, AllPortsEnterGoesToThePortPrompted)
{
    SimProcess a({"--boot", "Z"}, QStringLiteral("a"));
    SimProcess b({"--boot", "Z"}, QStringLiteral("b"));
    ASSERT_TRUE(a.isReady() && b.isReady());
    const ConsoleRun run =
        runRomwright({"--console", "--port", "all", "--json"},
                     SimProcess::portList({nullptr, &a, nullptr, &b}), "\n", QStringLiteral("0.2"));
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.out + run.err);

    std::vector<int> prompted;
    for (const QString &line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject event = QJsonDocument::fromJson(line.toUtf8()).object();
        if (event.value(QLatin1String("event")) == QLatin1String("prompt"))
            prompted.push_back(event.value(QLatin1String("port")).toInt());
    }
    ASSERT_EQ(prompted.size(), 2u) << qPrintable(run.out);
    const int answered = prompted.front();
    const int refused = prompted.back();
    EXPECT_EQ(results(parse(run.out).result),
              (std::map<int, QString>{{answered, "completed"}, {refused, "failed"}}));
    EXPECT_TRUE(run.out.contains(QStringLiteral("\"port\":%1,\"text\":\"Standard input ended").arg(refused)))
        << qPrintable(run.out);
    SimProcess &completed = answered == 2 ? a : b;
    ASSERT_TRUE(completed.waitForExit(5s));
    EXPECT_EQ(blocksMissing(completed.dump()), 0);
}

TEST(MultiScanner, PortListUsageErrors)
{
    const struct {
        const char *ports;
        const char *message;
    } cases[] = {
        {"1,1", "--port names port 1 twice"},
        {"0,3", "--port takes port numbers from 1 to 16"},
        {"1,x", "--port takes port numbers from 1 to 16"},
        {",", "--port takes port numbers from 1 to 16"},
        {"3,", "--port takes port numbers from 1 to 16"},
        {"2,17", "--port takes port numbers from 1 to 16"},
    };
    for (const auto &c : cases) {
        const ConsoleRun run = runRomwright({"--console", "--port", c.ports, "--yes"});
        EXPECT_EQ(run.exitCode, 2) << c.ports;
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("romwright: ") + QLatin1String(c.message)))
            << c.ports << ": " << qPrintable(run.err);
    }
}
