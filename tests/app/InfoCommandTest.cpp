// romwright --info end to end: the built program on real files.

#include "image/SrecCat.h"
#include "image/SrecordText.h"
#include "platform/FileSystem.h"
#include "support/ConsoleRun.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace romwright;
using namespace romwright::test;

namespace {

// name may hold bytes that are not UTF-8, as a file system allows.
QString write(const QTemporaryDir &dir, const QByteArray &name, const QByteArray &text)
{
    const QString path = dir.filePath(decodeFileName(name));
    writeWholeFile(path, text);
    return path;
}

const char *kUsageLine = "\nsee romwright --help\n";

} // namespace

TEST(InfoCommand, ExitStatusAndMessages)
{
    QTemporaryDir dir;
    const QByteArray body = srecord(1, 0x8000, ramp(64)) + "\r\n";
    const QByteArray good = body + "S9030000FC\r\n";
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
    const QString image = dir.filePath(QStringLiteral("image.bin"));
    struct Case {
        QStringList arguments;
        int exitCode;
        QString said; // on standard output or standard error
    };
    // clang-format off
    const std::vector<Case> cases{
        {{kHalvernSample, "--image", image}, 0, "Records read: 384 data"},
        {{write(dir, "dos.s19", body + "S9030000FC\x1A")}, 0, "Bytes read: 64"}, // 0x1A right after the checksum
        {{kHalvernSample}, 0, "For: the Halvern 1450 with the 64-byte boot software\n"},
        {{write(dir, "spliced.s19", body + srecord(5, 3, {}) + "\r\n" + "S9030000FC\r\n")}, 1,
         "(line 2: the count record says 3 data records but 1 came before it)."},
        {{write(dir, "nodata.s19", "\xEF\xBB\xBF" + srecord(0, 0, {'x'}) + "\r\n\r\n; none\r\n" + srecord(9, 0, {}))},
         1, "The file nodata.s19 holds no firmware records.\n"},
        {{write(dir, "lower.s19", body + "s9030000FC\r\n")}, 1, "(line 2: the record mark must be an upper-case S)."},
        {{folder + "/"}, 1, "The file folder.s19 is a folder and cannot be used.\n"},
        {{fifo}, 1, "The file fifo.s19 is not a regular file and cannot be used.\n"},
        {{locked}, 1, "The file locked.s19 cannot be read: permission denied.\n"},
        {{dir.filePath("gone.s19")}, 1, "gone.s19 was not found"},
        {{target, "--image", dir.filePath("./target.s19")}, 2, kUsageLine}, // the image over its own file
        {{target, "--image", ""}, 2, kUsageLine},
        {{}, 2, kUsageLine},
        {{kHalvernSample, "--target", "96"}, 2, kUsageLine},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const ConsoleRun run =
            runRomwright(QStringList{"--info"} + c.arguments, {}, {}, QStringLiteral("0.05"),
                         c.arguments.value(0) == locked ? setpriv : QString());
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE((run.out + run.err).contains(c.said)) << (run.out + run.err).toStdString();
    }
    EXPECT_EQ(LocalFileSystem().read(target).bytes, good);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("none")));
    // The image is the sample as the update sends it, with the jump table (the
    // reader itself is held against srec_cat in SrecCatCrossCheckTest).
    EXPECT_TRUE(imageOf(LocalFileSystem().read(image).bytes) == halvernSampleImage());
}

// Names that look like placeholders, markup or bytes that are not UTF-8
// reach the message as they are, and the file they name is the one read.
TEST(InfoCommand, HostileFileNamesAreShownAsTheyAre)
{
    QTemporaryDir dir;
    const QByteArray damaged = srecord(1, 0x8000, ramp(64)) + "\r\nS1050100000000\r\n";
    const std::pair<QByteArray, const char *> names[] = {
        {"bad%1 %2,x.s19", "bad%1 %2,x.s19"},
        {"<h1>OK<!--.s19", "<h1>OK<!--.s19"},
        {"caf\xe9.s19", "caf\uFFFD.s19"},
    };
    for (const auto &[name, shown] : names) {
        SCOPED_TRACE(shown);
        write(dir, name, damaged);
        // QProcess would pass the name as UTF-8; the shell passes its bytes.
        QString octal; // every byte as \0nnn, which printf's %b turns back into it
        for (const char byte : name)
            octal += QStringLiteral("\\0%1").arg(static_cast<unsigned char>(byte), 3, 8, QLatin1Char('0'));
        QProcess shell;
        shell.setWorkingDirectory(dir.path());
        shell.start(QStringLiteral("/bin/sh"),
                    {"-c", "exec \"$0\" --info \"$(printf '%b' \"$1\")\"", kProgram, octal});
        ASSERT_TRUE(shell.waitForFinished(30000));
        const QString output = QString::fromUtf8(shell.readAllStandardError());
        EXPECT_EQ(shell.exitCode(), 1) << output.toStdString();
        EXPECT_TRUE(output.contains(
            QStringLiteral("The file %1 is damaged and cannot be used (line 2: the checksum does not match).")
                .arg(QString::fromUtf8(shown))))
            << output.toStdString();
        // QTemporaryDir cannot name a file that is not UTF-8 to remove it.
        ::unlink((QFile::encodeName(dir.path()) + '/' + name).constData());
    }
}
