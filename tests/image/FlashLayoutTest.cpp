#include "image/FlashLayout.h"

#include <gtest/gtest.h>

#include <bitset>
#include <tuple>

using namespace romwright;

// The programming passes walk the tables from index 0 up, so the order is
// what the target sees: ascending, except that the bootloader's two bytes at
// 0xFF80 come after its vectors. Each table covers exactly its ranges (first
// and last address), so a block one byte short leaves a gap.
TEST(FlashLayout, TablesAreOrderedDisjointAndCoverExactlyTheirRanges)
{
    using Ranges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    const std::vector<std::tuple<std::span<const FlashBlock>, std::size_t, int, Ranges>> layouts{
        {kFlashBlocks64, 945, 64, {{0x0450, 0x04FF}, {0x0580, 0x05FF}, {0x0E00, 0xF8FF}}},
        {kFlashBlocks128, 468, 128, {{0x1200, 0x17FF}, {0x182C, 0xFBFF}}},
        {kBootloaderBlocks,
         967,
         64,
         {{0x0450, 0x04FF}, {0x0580, 0x05FF}, {0x0E00, 0xFDFF}, {0xFF80, 0xFF81}, {0xFFCC, 0xFFFF}}},
    };
    for (const auto &[table, size, maxLength, ranges] : layouts) {
        ASSERT_EQ(table.size(), size);
        const std::size_t ordered = table.data() == kBootloaderBlocks.data() ? size - 1 : size;
        std::bitset<kImageSize> covered;
        for (std::size_t i = 0; i < size; ++i) {
            ASSERT_TRUE(table[i].Length > 0 && table[i].Length <= maxLength) << "entry " << i;
            EXPECT_TRUE(i == 0 || i >= ordered ||
                        table[i].Address >= table[i - 1].Address + table[i - 1].Length)
                << "entry " << i;
            for (auto a = static_cast<std::uint32_t>(table[i].Address);
                 a < table[i].Address + table[i].Length + 0u; ++a) {
                ASSERT_LT(a, kImageSize);
                EXPECT_FALSE(covered[a]) << "address " << a << " in two blocks";
                covered[a] = true;
            }
        }
        Ranges found;
        for (std::uint32_t a = 0; a < kImageSize; ++a) {
            if (!covered[a])
                continue;
            if (found.empty() || found.back().second + 1 != a)
                found.emplace_back(a, a);
            found.back().second = a;
        }
        EXPECT_EQ(found, ranges) << "table of " << size;
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
