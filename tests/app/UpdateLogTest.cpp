// The update log's file and the transcript kept of the line: what survives
// the cap, a torn line and a folder that cannot be written.
#include "app/common/UpdateLog.h"
#include "platform/ManualClock.h"
#include "platform/RecordingSerialPort.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace romwright;
using namespace std::chrono_literals;

namespace {

QJsonObject entry(int n)
{
    return {{QStringLiteral("n"), n}};
}

} // namespace

TEST(UpdateLog, AppendKeepsTheNewestLinesReadsPastDamagedOnesAndFailsCleanly)
{
    const struct {
        const char *name;
        const char *folder; // below a fresh folder; nullptr: no state folder at all
        QByteArray before;  // the log as it stands
        int maxLines;
        const char *after; // the log after appending {"n":9}; nullptr: the append fails
        int entries, damaged;
        bool readable, transcript; // before the append; whether a transcript can be kept
    } cases[] = {
        {"no log yet", "", {}, 3, "{\"n\":9}\n", 1, 0, true, true},
        // A line cut short by a crash stays a damaged line of its own.
        {"a torn last line", "", "{\"n\":1}\n{\"n\"", 3, "{\"n\":1}\n{\"n\"\n{\"n\":9}\n", 2, 1, true, true},
        {"at the cap the oldest goes", "", "{\"n\":1}\n{\"n\":2}\n{\"n\":3}\n", 3,
         "{\"n\":2}\n{\"n\":3}\n{\"n\":9}\n", 3, 0, true, true},
        {"past the cap, down to it", "", "{\"n\":1}\n{\"n\":2}\nx\n{\"n\":4}\n", 2, "{\"n\":4}\n{\"n\":9}\n",
         2, 0, true, true},
        {"no state folder", nullptr, {}, 3, nullptr, 0, 0, true, false},
        {"a file in the folder's place", "file", {}, 3, nullptr, 0, 0, true, false},
        {"a folder in the log's place", "folder", {}, 3, nullptr, 0, 0, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("file")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("folder/") + QLatin1String(kUpdateLogName)));
        const UpdateLog log(c.folder ? dir.filePath(QLatin1String(c.folder)) : QString(), c.maxLines);
        QFile file(log.path());
        ASSERT_TRUE(c.before.isEmpty() ||
                    (file.open(QIODevice::WriteOnly) && file.write(c.before) == c.before.size()));
        file.close();
        EXPECT_EQ(log.read().readable, c.readable);
        EXPECT_EQ(log.append(entry(9)), c.after != nullptr);
        EXPECT_EQ(log.keepTranscript(QStringLiteral("t"), QStringLiteral("x")).isEmpty(), !c.transcript);
        if (!c.after)
            continue;
        EXPECT_TRUE(file.open(QIODevice::ReadOnly) && file.readAll() == c.after);
        const UpdateLogContents contents = log.read();
        EXPECT_EQ(int(contents.entries.size()), c.entries);
        EXPECT_EQ(contents.damaged, c.damaged);
        EXPECT_EQ(contents.entries.back(), entry(9));
    }
}

TEST(UpdateLog, OnlyTheNewestTranscriptsAreKept)
{
    const QTemporaryDir dir;
    const UpdateLog log(dir.path());
    for (int i = 0; i <= kKeptTranscripts; ++i)
        ASSERT_EQ(log.keepTranscript(QStringLiteral("2026%1-port1").arg(i, 2, 10, QLatin1Char('0')),
                                     QStringLiteral("x")),
                  QStringLiteral("transcripts/2026%1-port1.txt").arg(i, 2, 10, QLatin1Char('0')));
    // A second failure in the same second gets a name of its own.
    EXPECT_EQ(log.keepTranscript(QStringLiteral("202620-port1"), QStringLiteral("y")),
              QStringLiteral("transcripts/202620-port1-2.txt"));
    const QStringList kept = QDir(dir.filePath(QLatin1String(kTranscriptFolder))).entryList(QDir::Files);
    EXPECT_EQ(kept.size(), kKeptTranscripts);
    EXPECT_FALSE(kept.contains(QStringLiteral("202600-port1.txt")));
    EXPECT_FALSE(kept.contains(QStringLiteral("202601-port1.txt")));
}

// The last bytes each way are kept, an entry cut at the front says how much
// of it went; the trace has every one.
TEST(PortTranscript, KeepsTheLastBytesEachWayAndTracesThemAll)
{
    const QTemporaryDir dir;
    ManualClock clock;
    clock.pause(100ms); // the transcript's own start is its zero
    PortTranscript transcript(clock, 4);
    QString why;
    ASSERT_TRUE(transcript.traceTo(dir.filePath(QStringLiteral("trace.txt")), &why)) << why.toStdString();
    transcript.note(1, QStringLiteral("opened /dev/ttyS0 at 38400,n,8,1"));
    transcript.bytes(1, PortTranscript::Way::Out, "R2", QStringLiteral("38400,n,8,1"));
    clock.pause(7ms);
    transcript.bytes(1, PortTranscript::Way::Discarded, QByteArray("\xff\r", 2),
                     QStringLiteral("19200,n,8,1"));
    transcript.bytes(1, PortTranscript::Way::In, "Q", QStringLiteral("38400,n,8,1"));
    clock.pause(1000ms);
    transcript.bytes(1, PortTranscript::Way::Out, "zE\"", QStringLiteral("38400,n,8,1"),
                     CommError::WriteFailed);
    const QString kept = QStringLiteral("        0  port  1  --   opened /dev/ttyS0 at 38400,n,8,1\n"
                                        "        0  port  1  out   38400  (1 bytes before these no longer "
                                        "kept) \"2\"\n"
                                        "        7  port  1  in    19200  \"\\xff\\r\" (discarded)\n"
                                        "        7  port  1  in    38400  \"Q\"\n"
                                        "     1007  port  1  out   38400  \"zE\\\"\" (not written: %1)\n")
                             .arg(describe(CommError::WriteFailed));
    EXPECT_EQ(transcript.text(), kept);
    QFile trace(dir.filePath(QStringLiteral("trace.txt")));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QString traced = QString::fromUtf8(trace.readAll());
    EXPECT_TRUE(traced.startsWith(QLatin1String("# romwright trace, begun "))) << traced.toStdString();
    EXPECT_TRUE(traced.endsWith(QString(kept).replace(
        QLatin1String("(1 bytes before these no longer kept) \"2\""), QLatin1String("\"R2\""))))
        << traced.toStdString();
    EXPECT_FALSE(transcript.traceFailed());
}
