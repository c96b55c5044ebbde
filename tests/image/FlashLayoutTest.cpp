#include "image/FlashLayout.h"

#include <gtest/gtest.h>

#include <bitset>

using namespace romwright;

// The programming passes walk the tables from index 0 up, so the order is
// what the target sees: ascending, except that the bootloader's two bytes at
// 0xFF80 come after its vectors.
TEST(FlashLayout, TablesCoverTheirFlashOnceInOrderWithinTheRecordLimits)
{
    struct Layout {
        const char *name;
        std::span<const FlashBlock> table;
        std::size_t size;
        int maxLength;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> flash; // where blocks may lie
        // Blocks whose length breaks the pattern, and the bootloader's last two.
        std::vector<std::pair<std::size_t, FlashBlock>> odd;
    };
    // clang-format off
    const std::vector<Layout> layouts{
        {"FlashBlocks64", kFlashBlocks64, 945, 64, {{0x0450, 0x04FF}, {0x0580, 0x05FF}, {0x0E00, 0xF8FF}},
         {{2, {0x04D0, 48}}}},
        {"FlashBlocks128", kFlashBlocks128, 468, 128, {{0x1200, 0x17FF}, {0x182C, 0xFBFF}}, {{12, {0x182C, 84}}}},
        {"BootloaderBlocks", kBootloaderBlocks, 967, 64,
         {{0x0450, 0x04FF}, {0x0580, 0x05FF}, {0x0E00, 0xFDFF}, {0xFF80, 0xFF81}, {0xFFCC, 0xFFFF}},
         {{0, {0x0450, 48}}, {965, {0xFFCC, 52}}, {966, {0xFF80, 2}}}},
    };
    // clang-format on
    for (const Layout &layout : layouts) {
        SCOPED_TRACE(layout.name);
        EXPECT_EQ(layout.table.size(), layout.size);
        const std::size_t ordered =
            layout.table.data() == kBootloaderBlocks.data() ? layout.size - 1 : layout.size;
        std::bitset<kImageSize> covered;
        for (std::size_t i = 0; i < layout.table.size(); ++i) {
            const FlashBlock &block = layout.table[i];
            ASSERT_GT(block.Length, 0);
            EXPECT_LE(block.Length, layout.maxLength);
            if (i > 0 && i < ordered) {
                EXPECT_GE(block.Address, layout.table[i - 1].Address + layout.table[i - 1].Length)
                    << "entry " << i;
            }
            const auto first = static_cast<std::uint32_t>(block.Address);
            for (std::uint32_t a = first; a < first + block.Length; ++a) {
                ASSERT_LT(a, kImageSize);
                EXPECT_FALSE(covered[a]) << "address " << a << " in two blocks";
                covered[a] = true;
            }
        }
        std::bitset<kImageSize> flash;
        for (const auto &[first, last] : layout.flash)
            for (std::uint32_t a = first; a <= last; ++a)
                flash[a] = true;
        EXPECT_EQ(covered, flash);
        for (const auto &[index, block] : layout.odd)
            EXPECT_TRUE(layout.table[index] == block) << "entry " << index;
    }
}

TEST(RelocateVectors, WritesOneJumpPerVector)
{
    struct Case {
        const char *name;
        std::vector<std::pair<std::uint32_t, std::uint8_t>> before; // bytes set on an erased image
        std::vector<std::pair<std::uint32_t, std::uint8_t>> after;  // bytes expected afterwards
    };
    // clang-format off
    const std::vector<Case> cases{
        {"reset vector", {{0xFFFE, 0x12}, {0xFFFF, 0x34}},
         {{0x049B, 0xCC}, {0x049C, 0x12}, {0x049D, 0x34}, {0xFFFE, 0x12}, {0xFFFF, 0x34}}},
        {"lowest vector", {{0xFFCC, 0xAB}, {0xFFCD, 0xCD}}, {{0x0450, 0xCC}, {0x0451, 0xAB}, {0x0452, 0xCD}}},
        {"unset vectors", {}, {{0x0450, 0xCC}, {0x0451, 0xFF}, {0x0452, 0xFF}, {0x049B, 0xCC}, {0x049D, 0xFF}}},
        {"own bytes in the table are lost", {{0x0460, 0x00}}, {{0x0460, 0xFF}}},
        {"own bytes behind the table survive", {{0x049E, 0x00}, {0x04A0, 0x11}}, {{0x049E, 0x00}, {0x04A0, 0x11}}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image;
        image.fill(0xFF);
        for (const auto &[address, value] : c.before)
            image[address] = value;
        RelocateVectors(image);
        for (const auto &[address, value] : c.after)
            EXPECT_EQ(image[address], value) << "at " << std::hex << address;
        // 26 entries, each opening with the jump opcode.
        for (std::uint32_t k = 0; k < 26; ++k)
            EXPECT_EQ(image[0x0450 + 3 * k], 0xCC);
    }
}

TEST(HexRecordLoad, CountsOnlyBlocksThatHoldData)
{
    struct Case {
        const char *name;
        std::span<const FlashBlock> table;
        std::vector<std::uint32_t> written; // addresses set to 0x00 on an erased image
        int blocks;
        long characters;
    };
    const FlashBlocks64Table neverBuilt{};
    // clang-format off
    const std::vector<Case> cases{
        {"erased image", kFlashBlocks64, {}, 0, 0},
        {"one byte sends its whole block", kFlashBlocks64, {0x0E3F}, 1, 7 + 128},
        {"two bytes in one block", kFlashBlocks64, {0x0E00, 0x0E3F}, 1, 7 + 128},
        {"48-byte block", kFlashBlocks64, {0x04FF}, 1, 7 + 96},
        {"vectors are never sent by the 64 table", kFlashBlocks64, {0xFFFE, 0xF900}, 0, 0},
        {"84-byte block", kFlashBlocks128, {0x182C}, 1, 7 + 168},
        {"hole below 0x182C", kFlashBlocks128, {0x1800, 0x182B}, 0, 0},
        {"a table never built sends nothing", neverBuilt, {0x0000, 0x0450}, 0, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImage image;
        image.fill(0xFF);
        for (std::uint32_t a : c.written)
            image[a] = 0x00;
        const HexRecordLoad load = hexRecordLoad(c.table, image);
        EXPECT_EQ(load.blocks, c.blocks);
        EXPECT_EQ(load.characters, c.characters);
    }
}
