// Our reader against srec_cat on random files (any type, address, length,
// order, overlap, letter case, line end, count and end record): the images
// must agree byte for byte.

#include "image/ParseMotorolaSrecords.h"

#include "image/SrecCat.h"
#include "image/SrecordText.h"
#include "platform/FileSystem.h"

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
