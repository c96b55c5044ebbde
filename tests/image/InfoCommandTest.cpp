// romwright --info end to end: the built program on real files.

#include "image/FlashLayout.h"

#include "image/SrecCat.h"
#include "image/SrecordText.h"
#include "platform/FileSystem.h"
#include "support/AsNobody.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace romwright;
using namespace romwright::test;

namespace {

struct InfoRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// setpriv (AsNobody.h) runs it as nobody.
InfoRun info(const QStringList &arguments, const QString &setpriv = QString())
{
    QProcess process;
    const QString program = programDir() + QStringLiteral("/romwright");
    const QStringList all = QStringList{QStringLiteral("--info")} + arguments;
    if (setpriv.isEmpty())
        process.start(program, all);
    else
        process.start(setpriv, asNobody(program, all));
    InfoRun run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// name may hold bytes that are not UTF-8, as a file system allows.
QString write(const QTemporaryDir &dir, const QByteArray &name, const QByteArray &text)
{
    const QString path = dir.filePath(decodeFileName(name));
    writeWholeFile(path, text);
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
    const QString text = write(dir, "notes.s19", "Halvern firmware 5.9\n");
    const QString intelHex =
        write(dir, "intel.s19", ":10800000000102030405060708090A0B0C0D0E0F78\n:00000001FF\n");
    const QString folder = dir.filePath(QStringLiteral("folder.s19"));
    QDir().mkdir(folder);
    const QString fifo = dir.filePath(QStringLiteral("fifo.s19"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    // Unreadable for anyone but root, who is then not asked: the run goes as nobody.
    const QString locked = write(dir, "locked.s19", good);
    QFile::setPermissions(locked, {});
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther | QFile::ReadOther);
    const QString setpriv = setprivProgram();
    // The image would replace the file it is read from; the file must survive.
    const QString target = write(dir, "target.s19", good);
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
        {"only S0 and S9, two lines skipped",
         {noData},
         1,
         "Lines skipped: 2 ",
         "The file nodata.s19 holds no firmware records.\n"},
        {"plain text", {text}, 1, "", "The file notes.s19 holds no firmware records.\n"},
        {"Intel HEX", {intelHex}, 1, "", "The file intel.s19 holds no firmware records.\n"},
        {"folder", {folder + "/"}, 1, "", "The file folder.s19 is a folder and cannot be used.\n"},
        {"FIFO", {fifo}, 1, "", "The file fifo.s19 is not a regular file and cannot be used.\n"},
        {"unreadable", {locked}, 1, "", "The file locked.s19 cannot be read: permission denied.\n"},
        {"image over its own file", {target, "--image", dir.filePath("./target.s19")}, 2, "", kUsageLine},
        {"empty image name", {target, "--image", ""}, 2, "", kUsageLine},
        {"lower-case mark", {lowerCase}, 1, "", "(line 2: the record mark must be an upper-case S)."},
        {"missing", {dir.filePath("gone.s19")}, 1, "", "gone.s19 was not found"},
        {"no file", {}, 2, "", kUsageLine},
        {"bad target", {kSample, "--target", "96"}, 2, "", kUsageLine},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const InfoRun run = info(c.arguments, c.arguments.value(0) == locked ? setpriv : QString());
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(c.inOut)) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(c.inErr)) << run.err.toStdString();
    }
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), good);
}

// Names that look like placeholders, markup or bytes that are not UTF-8
// reach the messages as they are, and the file they name is the one read.
TEST(InfoCommand, HostileFileNamesAreShownAsTheyAre)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray good = srecord(1, 0x8000, ramp(64)) + "\r\n";
    const QByteArray damaged = good + "S1050100000000\r\n";
    struct Case {
        QByteArray name;
        const char *shown;
    };
    const Case cases[] = {
        {"bad%1 %2,x.s19", "bad%1 %2,x.s19"},
        {"<h1>OK<!--.s19", "<h1>OK<!--.s19"},
        {"caf\xe9.s19", "caf\uFFFD.s19"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.shown);
        // QProcess would pass the name as UTF-8; the shell passes its bytes.
        auto run = [&](const QByteArray &name) {
            QProcess shell;
            shell.setWorkingDirectory(dir.path());
            QString octal; // every byte as \0nnn, which printf's %b turns back into it
            for (const char byte : name)
                octal +=
                    QStringLiteral("\\0%1").arg(static_cast<unsigned char>(byte), 3, 8, QLatin1Char('0'));
            shell.start(QStringLiteral("/bin/sh"), {"-c", "exec \"$0\" --info \"$(printf '%b' \"$1\")\"",
                                                    programDir() + "/romwright", octal});
            shell.waitForFinished(30000);
            return std::pair{shell.exitCode(),
                             QString::fromUtf8(shell.readAllStandardOutput() + shell.readAllStandardError())};
        };
        write(dir, c.name, good);
        const auto [okCode, okText] = run(c.name);
        EXPECT_EQ(okCode, 0) << okText.toStdString();
        EXPECT_TRUE(okText.contains(QStringLiteral("File: %1\n").arg(QString::fromUtf8(c.shown))))
            << okText.toStdString();
        write(dir, c.name, damaged);
        const auto [badCode, badText] = run(c.name);
        EXPECT_EQ(badCode, 1);
        EXPECT_TRUE(badText.contains(QStringLiteral("The file %1 is damaged and cannot be used "
                                                    "(line 2: the checksum does not match).")
                                         .arg(QString::fromUtf8(c.shown))))
            << badText.toStdString();
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
