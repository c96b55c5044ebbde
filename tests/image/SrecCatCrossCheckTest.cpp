// Our reader against srec_cat on random files (any type, address, length,
// order and overlap) and on the committed samples: the images must agree
// byte for byte.

#include "image/ParseMotorolaSrecords.h"

#include "image/SrecCat.h"
#include "image/SrecordText.h"
#include "platform/FileSystem.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

using namespace romwright;
using namespace romwright::test;

namespace {

// Writes a random file into text; returns how many data bytes it holds.
std::int32_t randomFile(std::mt19937 &random, QByteArray &text)
{
    auto below = [&random](std::uint32_t bound) { return static_cast<std::uint32_t>(random() % bound); };
    std::int32_t bytes = 0;
    const QByteArray lineEnd = below(2) ? "\r\n" : "\n";
    text += srecord(0, 0, {'t', 'e', 's', 't'}) + lineEnd;
    const int records = 1 + static_cast<int>(below(80));
    for (int r = 0; r < records; ++r) {
        const int type = 1 + static_cast<int>(below(3));
        const std::uint32_t maxData = 255 - (type + 2); // count FF holds address, data and checksum
        std::uint32_t length = below(4) == 0 ? below(maxData + 1) : below(33);
        // Now and then right up to the top of the image, or into a small
        // window so that records overlap.
        std::uint32_t address = below(3) == 0 ? 0x1000 + below(0x80) : below(0x10000);
        if (below(10) == 0)
            address = 0x10000 - length;
        length = std::min<std::uint32_t>(length, 0x10000 - address);
        std::vector<std::uint8_t> data(length);
        for (auto &b : data)
            b = static_cast<std::uint8_t>(below(256));
        QByteArray line = srecord(type, address, data);
        if (below(4) == 0)
            line = line.toLower().replace(0, 1, "S");
        text += line + lineEnd;
        bytes += static_cast<std::int32_t>(length);
    }
    text += srecord(5, static_cast<std::uint32_t>(records), {}) + lineEnd;
    text += srecord(7 + static_cast<int>(below(3)), 0, {}) + lineEnd;
    return bytes;
}

// Our reader's image of a file, erased where it holds nothing.
SrecordResult readInto(const QString &path, MemoryImage &image)
{
    image.fill(0xFF);
    return ParseSrecordFile(path, image);
}

} // namespace

TEST(SrecCatCrossCheck, RandomFilesGiveTheSameImage)
{
    if (srecCat().isEmpty())
        GTEST_SKIP() << "srec_cat is not installed";
    QTemporaryDir dir;
    std::mt19937 random(20261206);
    for (int n = 0; n < 40; ++n) {
        SCOPED_TRACE(n);
        QByteArray text;
        const std::int32_t bytes = randomFile(random, text);
        const QString input = dir.filePath(QStringLiteral("in%1.srec").arg(n));
        ASSERT_TRUE(writeWholeFile(input, text));

        MemoryImage ours;
        const SrecordResult result = readInto(input, ours);
        ASSERT_TRUE(result.ok()) << failureReason(result).toStdString() << " at line " << result.line;
        EXPECT_EQ(result.bytesStored, bytes);

        QString errors;
        const auto theirs = srecCatImage(input, dir.filePath(QStringLiteral("out%1.bin").arg(n)), &errors);
        ASSERT_TRUE(theirs) << errors.toStdString();
        for (std::size_t a = 0; a < kImageSize; ++a)
            ASSERT_EQ(ours[a], (*theirs)[a]) << "first difference at " << std::hex << a;
    }
}

// The samples are what the generator makes, and each reads alike in both.
TEST(SrecCatCrossCheck, CommittedSamplesAreTheGeneratorsAndReadAlike)
{
    QTemporaryDir dir;
    QProcess generator;
    generator.start(programDir() + QStringLiteral("/romwright-samplegen"),
                    {QStringLiteral("samples"), dir.path()});
    ASSERT_TRUE(generator.waitForFinished(30000) && generator.exitCode() == 0);
    const QStringList made = QDir(dir.path()).entryList(QDir::Files);
    EXPECT_EQ(made.size(), 7);
    for (const QString &name : made) {
        SCOPED_TRACE(name.toStdString());
        const QString path = sourceDir() + QStringLiteral("/samples/") + name;
        const FileContents committed = LocalFileSystem().read(path);
        ASSERT_EQ(committed.status, ReadStatus::Ok);
        EXPECT_TRUE(committed.bytes == LocalFileSystem().read(dir.filePath(name)).bytes);

        MemoryImage ours;
        const SrecordResult result = readInto(path, ours);
        ASSERT_TRUE(result.heldData()) << failureReason(result).toStdString();
        if (srecCat().isEmpty())
            continue;
        const auto theirs = srecCatImage(path, dir.filePath(name + QStringLiteral(".bin")));
        ASSERT_TRUE(theirs);
        EXPECT_TRUE(ours == *theirs);

        // What the peers write from it (their own record lengths, count and
        // end records) reads to the same image.
        const QString objcopy = QStandardPaths::findExecutable(QStringLiteral("objcopy")),
                      peerFile = dir.filePath(QStringLiteral("peer.srec"));
        const std::pair<QString, QStringList> peers[] = {
            {srecCat(), {path, "-o", peerFile}},
            {srecCat(), {path, "-o", peerFile, "-address-length=4"}},
            {objcopy, {"-I", "srec", "-O", "srec", path, peerFile}},
        };
        for (const auto &[program, arguments] : peers) {
            if (program.isEmpty())
                continue;
            SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
            QProcess peer;
            peer.start(program, arguments);
            ASSERT_TRUE(peer.waitForFinished(20000) && peer.exitCode() == 0);
            MemoryImage again;
            const SrecordResult reread = readInto(peerFile, again);
            ASSERT_TRUE(reread.heldData()) << failureReason(reread).toStdString();
            EXPECT_TRUE(again == ours);
        }
    }
}
