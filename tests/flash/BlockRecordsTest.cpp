// The raw record's padding and the blocks no record may be made of; the text
// records show in the flash the simulator ends up holding (RoutesEndToEndTest).
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

TEST(BlockRecords, BlocksOutsideTheImageOrTooLongForARawRecordAreRefused)
{
    MemoryImage image{}; // all zero: everything would be sent
    EXPECT_FALSE(binaryRecord({0xFFF0, 17}, image));
    EXPECT_FALSE(hexRecord({0xFFF0, 17}, image));
    EXPECT_FALSE(hexRecord({-1, 2}, image));
    EXPECT_FALSE(binaryRecord({0x1000, 65}, image));
    EXPECT_TRUE(hexRecord({0xFF80, 128}, image));
}
