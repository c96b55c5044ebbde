// The records' exact bytes and the blocks no record may be made of; what the
// records program, and that erased blocks make none, shows in the simulator's
// flash and acknowledgements (RoutesEndToEndTest).
#include "flash/BlockRecords.h"

#include <gtest/gtest.h>

using namespace romwright;

namespace {

// Bytes 1, 2, ... from the block's start; the rest erased.
MemoryImage counting(const FlashBlock &block)
{
    MemoryImage image;
    image.fill(0xFF);
    for (int i = 0; i < block.Length; ++i)
        image[static_cast<std::size_t>(block.Address + i)] = static_cast<std::uint8_t>(i + 1);
    return image;
}

} // namespace

// Blocks outside the image or too long for a raw record are refused.
TEST(BlockRecords, BinaryRecordPadsTheDataToSixtyFourBytes)
{
    const struct {
        FlashBlock block;
        const char *head; // nullptr: refused
    } cases[] = {
        {{0xFF80, 2}, "D\x05\xFF\x80"}, {{0xFFCC, 52}, "D\x37\xFF\xCC"}, {{0x0450, 64}, "D\x43\x04\x50"},
        {{0x0000, 1}, "D\x04\x00\x00"}, {{0xFFF0, 17}, nullptr},         {{0x1000, 65}, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.block.Address);
        // A refused block's image is all zero: everything would be sent.
        const auto record = binaryRecord(c.block, c.head ? counting(c.block) : MemoryImage{});
        ASSERT_EQ(record.has_value(), c.head != nullptr);
        if (!record)
            continue;
        ASSERT_EQ(record->size(), 68);
        EXPECT_EQ(record->left(4), QByteArray(c.head, 4));
        for (int i = 0; i < 64; ++i)
            EXPECT_EQ(static_cast<std::uint8_t>(record->at(4 + i)), i < c.block.Length ? i + 1 : 0) << i;
    }
}

// The bootloaders take only upper-case digits, the length and address at full width.
TEST(BlockRecords, HexRecordIsUpperCaseTextAtFixedWidths)
{
    MemoryImage image = counting({0x04D0, 3});
    image[0x04D1] = 0xAB;
    image[0x04D2] = 0xFF; // an erased byte inside a block is sent like any other
    EXPECT_EQ(hexRecord({0x04D0, 3}, image), QByteArray("P0304D001ABFF"));
    const auto full = hexRecord({0x1880, 128}, counting({0x1880, 128}));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->left(9), QByteArray("P80188001"));
    EXPECT_EQ(full->size(), 7 + 256);
    EXPECT_EQ(full->right(2), QByteArray("80"));
    EXPECT_FALSE(hexRecord({0xFFF0, 17}, MemoryImage{}));
    EXPECT_FALSE(hexRecord({-1, 2}, MemoryImage{}));
    EXPECT_TRUE(hexRecord({0xFF80, 128}, MemoryImage{}));
}
