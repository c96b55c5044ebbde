// The record formats as they go on the wire, byte for byte.
#include "flash/BlockRecords.h"

#include <gtest/gtest.h>

using namespace romwright;

namespace {

MemoryImage erased()
{
    MemoryImage image;
    image.fill(0xFF);
    return image;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

} // namespace

TEST(BlockRecords, BinaryRecordPadsTheDataToSixtyFourBytes)
{
    struct Case {
        std::int32_t address;
        std::uint8_t length;
        QByteArray head;
    };
    const Case cases[] = {
        {0xFF80, 2, bytes({'D', 5, 0xFF, 0x80})},
        {0xFFCC, 52, bytes({'D', 55, 0xFF, 0xCC})},
        {0x0450, 64, bytes({'D', 67, 0x04, 0x50})},
        {0x0000, 1, bytes({'D', 4, 0x00, 0x00})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address);
        MemoryImage image = erased();
        for (int i = 0; i < c.length; ++i)
            image[static_cast<std::size_t>(c.address + i)] = static_cast<std::uint8_t>(i + 1);
        const auto record = binaryRecord({c.address, c.length}, image);
        ASSERT_TRUE(record);
        ASSERT_EQ(record->size(), 68);
        EXPECT_EQ(record->left(4), c.head);
        for (int i = 0; i < 64; ++i)
            EXPECT_EQ(static_cast<std::uint8_t>(record->at(4 + i)), i < c.length ? i + 1 : 0) << i;
    }
}

TEST(BlockRecords, HexRecordIsUpperCaseTextWithoutSeparators)
{
    MemoryImage image = erased();
    image[0x0450] = 0x0A;
    image[0x0451] = 0xBC;
    EXPECT_EQ(*hexRecord({0x0450, 2}, image), QByteArray("P020450"
                                                         "0ABC"));

    struct Case {
        std::int32_t address;
        std::uint8_t length;
        const char *head;
    };
    const Case cases[] = {
        {0x0450, 64, "P400450"},
        {0x1880, 128, "P801880"},
        {0x2000, 84, "P542000"},
        {0x000F, 1, "P01000F"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.head);
        MemoryImage img = erased();
        img[static_cast<std::size_t>(c.address)] = 0x00;
        const auto record = hexRecord({c.address, c.length}, img);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->size(), 7 + 2 * c.length);
        EXPECT_EQ(record->left(7), QByteArray(c.head));
        EXPECT_EQ(record->mid(7, 2), QByteArray("00"));
        EXPECT_EQ(record->mid(9), QByteArray(2 * (c.length - 1), 'F'));
        EXPECT_EQ(hexRecordSize({c.address, c.length}, img), record->size());
    }
}

TEST(BlockRecords, ErasedBlocksMakeNoRecordAndOneProgrammedByteSendsTheWholeBlock)
{
    MemoryImage image = erased();
    EXPECT_FALSE(binaryRecord({0x1000, 64}, image));
    EXPECT_FALSE(hexRecord({0x1000, 128}, image));
    EXPECT_EQ(hexRecordSize({0x1000, 128}, image), 0);

    image[0x107F] = 0xFE; // last byte of the 128-byte block
    const auto hex = hexRecord({0x1000, 128}, image);
    ASSERT_TRUE(hex);
    EXPECT_TRUE(hex->endsWith("FE"));
    EXPECT_FALSE(binaryRecord({0x1000, 64}, image)) << "the byte lies outside the first 64";
    EXPECT_TRUE(binaryRecord({0x1040, 64}, image));
}

TEST(BlockRecords, BlocksOutsideTheImageOrTooLongForARawRecordAreRefused)
{
    MemoryImage image{}; // all zero: everything would be sent
    EXPECT_FALSE(binaryRecord({0xFFF0, 17}, image));
    EXPECT_FALSE(hexRecord({0xFFF0, 17}, image));
    EXPECT_FALSE(hexRecord({-1, 2}, image));
    EXPECT_FALSE(binaryRecord({0x1000, 65}, image));
    EXPECT_TRUE(hexRecord({0xFF80, 128}, image));
}

TEST(BlockRecords, RamLoaderIsTheKilobyteFrom0x0050ZerosIncluded)
{
    MemoryImage image{};
    image[0x004F] = 0x11;
    image[0x0050] = 0x22;
    image[0x044F] = 0x33;
    image[0x0450] = 0x44;
    const QByteArray loader = ramLoaderBytes(image);
    ASSERT_EQ(loader.size(), 1024);
    EXPECT_EQ(loader.front(), 0x22);
    EXPECT_EQ(loader.back(), 0x33);
    EXPECT_EQ(loader.count('\0'), 1022);
}
