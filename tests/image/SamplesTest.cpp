// The committed sample files: what the generator makes, well-formed by our
// reader and by srec_cat, and each inside the flash map it is meant for.

#include "image/FlashLayout.h"
#include "image/ParseMotorolaSrecords.h"

#include "image/SrecCat.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <bitset>

using namespace romwright;
using namespace romwright::test;

namespace {

enum class Map { Blocks64, Blocks128, Both, RamLoader, Bootloader };

struct Sample {
    const char *name;
    Map map;
};

const Sample kSamples[] = {
    {"Hlv1450ver5_9.s19", Map::Blocks64}, {"Hlv1450Uver6_0.s19", Map::Blocks128},
    {"JL750Ver6_0.s19", Map::Blocks64},   {"WX3650UVer3_9.s19", Map::Both},
    {"WX3650UVer1_9.s20", Map::Both},     {"FlashProgrammer.sss", Map::RamLoader},
    {"bootloader.sss", Map::Bootloader},
};

std::bitset<kImageSize> coverage(std::span<const FlashBlock> table)
{
    std::bitset<kImageSize> bits;
    for (const FlashBlock &b : table)
        for (int i = 0; i < b.Length; ++i)
            bits[static_cast<std::size_t>(b.Address + i)] = true;
    return bits;
}

std::bitset<kImageSize> range(std::uint32_t first, std::uint32_t last)
{
    std::bitset<kImageSize> bits;
    for (std::uint32_t a = first; a <= last; ++a)
        bits[a] = true;
    return bits;
}

QString samplePath(const char *name)
{
    return sourceDir() + QStringLiteral("/samples/") + QLatin1String(name);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool runGenerator(const QStringList &arguments)
{
    QProcess process;
    process.start(programDir() + QStringLiteral("/romwright-samplegen"), arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

TEST(Samples, EachIsWellFormedAndInsideItsMap)
{
    const auto vectors = range(kVectorAddress, 0xFFFF);
    const auto in64 = coverage(kFlashBlocks64) | vectors, in128 = coverage(kFlashBlocks128) | vectors;
    for (const Sample &s : kSamples) {
        SCOPED_TRACE(s.name);
        MemoryImage image;
        image.fill(0xFF);
        const SrecordResult result = ParseSrecordFile(samplePath(s.name), image);
        ASSERT_TRUE(result.heldData()) << failureReason(result).toStdString();
        EXPECT_NE(result.endRecordType, 0);
        std::bitset<kImageSize> filled;
        for (const AddressRange &r : filledRanges(result))
            filled |= range(r.first, r.last);
        if (s.map == Map::RamLoader) {
            EXPECT_EQ(filled, range(kRamLoaderAddress, kRamLoaderAddress + kRamLoaderSize - 1));
        } else if (s.map == Map::Bootloader) {
            EXPECT_EQ(filled, range(0xF900, 0xFDFF) | range(0xFF80, 0xFF81) | vectors);
        } else {
            const auto allowed = s.map == Map::Blocks64 ? in64 : s.map == Map::Blocks128 ? in128 : (in64 & in128);
            EXPECT_EQ((filled & ~allowed).count(), 0u);
            EXPECT_TRUE((filled & vectors) == vectors);
            EXPECT_GT(filled.count(), 4096u);
        }

        if (srecCat().isEmpty())
            continue;
        QTemporaryDir dir;
        const auto theirs = srecCatImage(samplePath(s.name), dir.filePath(QStringLiteral("out.bin")));
        ASSERT_TRUE(theirs);
        EXPECT_TRUE(image == *theirs);
    }
}

TEST(Samples, GeneratorMakesTheCommittedFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(runGenerator({QStringLiteral("samples"), dir.path()}));
    for (const Sample &s : kSamples) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(contents(dir.filePath(QLatin1String(s.name))), contents(samplePath(s.name)));
    }
}
