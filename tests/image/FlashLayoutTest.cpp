#include "image/FlashLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>

using namespace romwright;

namespace {

struct Layout {
    const char *name;
    std::span<const FlashBlock> table;
    int maxLength;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> flash; // where blocks may lie
};

} // namespace

TEST(FlashLayout, TablesCoverTheirFlashOnceWithinTheRecordLimits)
{
    // clang-format off
    const std::vector<Layout> layouts{
        {"FlashBlocks64", kFlashBlocks64, 64, {{0x0450, 0x04FF}, {0x0580, 0x05FF}, {0x0E00, 0xF8FF}}},
        {"FlashBlocks128", kFlashBlocks128, 128, {{0x1200, 0x17FF}, {0x182C, 0xFBFF}}},
        {"BootloaderBlocks", kBootloaderBlocks, 64,
         {{0x0450, 0x04FF}, {0x0580, 0x05FF}, {0x0E00, 0xFDFF}, {0xFF80, 0xFF81}, {0xFFCC, 0xFFFF}}},
    };
    // clang-format on
    for (const Layout &layout : layouts) {
        SCOPED_TRACE(layout.name);
        std::bitset<kImageSize> covered;
        for (const FlashBlock &block : layout.table) {
            ASSERT_GT(block.Length, 0);
            EXPECT_LE(block.Length, layout.maxLength);
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
    }
}

// The programming passes walk the tables from index 0 up, so the order is
// what the target sees: ascending, except that the bootloader's two bytes at
// 0xFF80 come after its vectors.
TEST(FlashLayout, TablesKeepTheirOrderAndBoundaryEntries)
{
    struct Entry {
        std::span<const FlashBlock> table;
        std::size_t index;
        std::int32_t address;
        int length;
    };
    // clang-format off
    const Entry entries[] = {
        {kFlashBlocks64, 0, 0x0450, 64},    {kFlashBlocks64, 2, 0x04D0, 48},    {kFlashBlocks64, 3, 0x0580, 64},
        {kFlashBlocks64, 5, 0x0E00, 64},    {kFlashBlocks64, 461, 0x8000, 64},  {kFlashBlocks64, 944, 0xF8C0, 64},
        {kFlashBlocks128, 0, 0x1200, 128},  {kFlashBlocks128, 11, 0x1780, 128}, {kFlashBlocks128, 12, 0x182C, 84},
        {kFlashBlocks128, 13, 0x1880, 128}, {kFlashBlocks128, 467, 0xFB80, 128},
        {kBootloaderBlocks, 0, 0x0450, 48}, {kBootloaderBlocks, 1, 0x0480, 64}, {kBootloaderBlocks, 2, 0x04C0, 64},
        {kBootloaderBlocks, 964, 0xFDC0, 64}, {kBootloaderBlocks, 965, 0xFFCC, 52}, {kBootloaderBlocks, 966, 0xFF80, 2},
    };
    // clang-format on
    EXPECT_EQ(kFlashBlocks64.size(), 945u);
    EXPECT_EQ(kFlashBlocks128.size(), 468u);
    EXPECT_EQ(kBootloaderBlocks.size(), 967u);
    for (const Entry &e : entries) {
        ASSERT_LT(e.index, e.table.size());
        EXPECT_EQ(e.table[e.index].Address, e.address) << "entry " << e.index;
        EXPECT_EQ(e.table[e.index].Length, e.length) << "entry " << e.index;
    }
    for (std::span<const FlashBlock> table : {std::span<const FlashBlock>(kFlashBlocks64),
                                             std::span<const FlashBlock>(kFlashBlocks128),
                                             std::span<const FlashBlock>(kBootloaderBlocks).first(966)})
        for (std::size_t i = 1; i < table.size(); ++i)
            EXPECT_GE(table[i].Address, table[i - 1].Address + table[i - 1].Length) << "entry " << i;
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
