// The update log's file and the transcript kept of the line: what survives
// the cap, a torn line, a folder that cannot be written and a link in the
// place of anything the program keeps.
#include "app/update/UpdateLog.h"
#include "app/update/UnfinishedUpdate.h"
#include "platform/FileSystem.h"
#include "platform/ManualClock.h"
#include "platform/RecordingSerialPort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

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

// A symbolic link where the program writes its record, its log or a
// transcript (or reads a record) is never followed, wherever it leads: it
// is renamed aside and said in one line, and a new entry takes its place.
TEST(StateFolder, ALinkInAnEntrysPlaceIsSetAsideAndNeverWrittenThrough)
{
    const QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("state"));
    ASSERT_TRUE(QDir().mkpath(state) && QDir().mkpath(dir.filePath(QStringLiteral("elsewhere"))));
    const UnfinishedUpdates records(state);
    const UpdateLog log(state);
    UnfinishedUpdate record{1,
                            "/dev/ttyUSB0",
                            "Halvern 1450",
                            false,
                            'Q',
                            "/fw/Hlv1450ver5_9.s19",
                            100,
                            QByteArray(64, 'a'),
                            QDateTime::currentDateTime()};
    const QByteArray firmware = "S0030000FC\n";
    record.port = 2;
    const QByteArray sound = QJsonDocument(toJson(record)).toJson(); // a record as port 2's would be
    record.port = 1;
    const auto said = [](const std::vector<DamagedRecord> &aside) {
        QStringList texts;
        for (const DamagedRecord &damaged : aside)
            texts << damagedRecordText(damaged);
        return texts;
    };
    const QString recordLink =
        "The record of an unfinished update %1 is damaged and not used: it is a symbolic "
        "link to %2, which is never written through. It was moved to %1.link.";
    const QString logLink = "%3 %1 is a symbolic link to %2, which is never written through; it was moved to "
                            "%1.link and a new one begun.";
    QStringList texts;
    const struct {
        const char *name;
        QString entry, target;
        QByteArray before; // the target's; none for a folder
        std::function<bool()> write;
        QString text;  // %1 the entry, %2 the target
        bool replaced; // a new entry stands in the link's place
    } cases[] = {
        {"a record written", records.pathFor(1), dir.filePath("fw.s19"), firmware,
         [&] {
             std::vector<DamagedRecord> aside;
             const bool saved = records.save(record, &aside);
             texts = said(aside);
             return saved;
         },
         recordLink, true},
        {"a record read", records.pathFor(2), dir.filePath("record.json"), sound,
         [&] { return !(texts = said(records.setAsideDamaged())).isEmpty(); }, recordLink, false},
        {"the log", log.path(), dir.filePath("fw.s19"), firmware,
         [&] { return log.append(entry(9), &texts); }, logLink.arg("%1", "%2", "The update log"), true},
        {"the transcripts' folder",
         state + "/transcripts",
         dir.filePath("elsewhere"),
         {},
         [&] { return log.keepTranscript("t", "x", &texts) == "transcripts/t.txt"; },
         logLink.arg("%1", "%2", "The folder of transcripts"),
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        texts.clear();
        ASSERT_TRUE(c.before.isEmpty() || writeWholeFile(c.target, c.before));
        ASSERT_TRUE(QFile::link(c.target, c.entry));
        EXPECT_TRUE(c.write());
        EXPECT_EQ(texts, QStringList{QString(c.text).arg(c.entry, c.target)});
        EXPECT_EQ(linkTarget(c.entry + ".link"), c.target);
        EXPECT_FALSE(linkTarget(c.entry));
        EXPECT_EQ(QFileInfo::exists(c.entry), c.replaced);
        if (c.before.isEmpty())
            EXPECT_TRUE(QDir(c.target).isEmpty());
        else
            EXPECT_EQ(LocalFileSystem().read(c.target).bytes, c.before);
    }
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
