// romwright --info end to end: the built program on real files.

#include "image/FlashLayout.h"

#include "image/SrecCat.h"
#include "image/SrecordText.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;

namespace {

struct InfoRun {
    int exitCode = -1;
    QString out;
    QString err;
};

InfoRun info(const QStringList &arguments)
{
    QProcess process;
    process.start(programDir() + QStringLiteral("/romwright"),
                  QStringList{QStringLiteral("--info")} + arguments);
    InfoRun run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QString write(const QTemporaryDir &dir, const char *name, const QByteArray &text)
{
    const QString path = dir.filePath(QLatin1String(name));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    return path;
}

const QString kSample = sourceDir() + QStringLiteral("/samples/Hlv1450ver5_9.s19");
const char *kUsageLine = "usage: romwright --info FILE [--target 64|128] [--image OUT]";

} // namespace

TEST(InfoCommand, ExitStatusAndMessages)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray good = srecord(1, 0x8000, ramp(64)) + "\r\n";
    const QString damaged = write(dir, "bad.s19", good + "S1050100000000\r\n");
    const QString noEnd = write(dir, "noend.s19", good);
    const QString spliced = write(dir, "spliced.s19", good + srecord(5, 3, {}) + "\r\n");
    const QString noData = write(
        dir, "nodata.s19", "\xEF\xBB\xBF" + srecord(0, 0, {'x'}) + "\r\n\r\n; none\r\n" + srecord(9, 0, {}));
    const QString lowerCase = write(dir, "lower.s19", good + "s9030000FC\r\n");
    struct Case {
        const char *name;
        QStringList arguments;
        int exitCode;
        QString inOut; // expected in standard output
        QString inErr; // expected in standard error
    };
    const std::vector<Case> cases{
        {"sample", {kSample}, 0, "Records read: 384 data", ""},
        {"no end record", {noEnd}, 0, "Note: no end record (S7, S8 or S9).", ""},
        {"what it is for", {kSample}, 0, "For: the Halvern 1450 with the 64-byte boot software\n", ""},
        {"damaged",
         {damaged},
         1,
         "",
         "The file bad.s19 is damaged and cannot be used (line 2: the checksum does not match)."},
        {"count record disagrees",
         {spliced},
         1,
         "",
         "(line 2: the count record says 3 data records but 1 came before it; the file was cut short or "
         "spliced)."},
        {"no data, two lines skipped", {noData}, 1, "Lines skipped: 2 ", "holds no data records"},
        {"lower-case mark", {lowerCase}, 1, "", "(line 2: the record mark must be an upper-case S)."},
        {"missing", {dir.filePath("gone.s19")}, 1, "", "gone.s19 was not found"},
        {"no file", {}, 2, "", kUsageLine},
        {"bad target", {kSample, "--target", "96"}, 2, "", kUsageLine},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const InfoRun run = info(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(c.inOut)) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(c.inErr)) << run.err.toStdString();
    }
}

TEST(InfoCommand, ImageIsWhatSrecCatReadsWithTheJumpTable)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("image.bin"));
    const InfoRun run = info({kSample, QStringLiteral("--image"), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 65536);
    MemoryImage ours;
    std::copy(bytes.begin(), bytes.end(), ours.begin());

    if (srecCat().isEmpty())
        GTEST_SKIP() << "srec_cat is not installed";
    auto theirs = srecCatImage(kSample, dir.filePath(QStringLiteral("theirs.bin")));
    ASSERT_TRUE(theirs);
    RelocateVectors(*theirs);
    EXPECT_TRUE(ours == *theirs);
    // The figures printed agree with the image.
    const HexRecordLoad load = hexRecordLoad(kFlashBlocks64, *theirs);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Blocks to send: %1 of 945").arg(load.blocks)))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Bytes on the wire: %1 ").arg(load.characters)));
}
