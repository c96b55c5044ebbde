#pragma once
// Where flash lies on the two kinds of target and on the bootloader, as the
// block tables that the programming passes walk from index 0 upwards, and
// the jump table that carries the firmware's interrupt vectors to the target.

#include "image/MemoryImage.h"

#include <cstdint>
#include <span>

namespace romwright {

// The RAM loader runs from 0x0050; it is sent as one 1,024-byte piece.
inline constexpr std::uint32_t kRamLoaderAddress = 0x0050;
inline constexpr std::size_t kRamLoaderSize = 1024;

// 26 vectors at 0xFFCC..0xFFFF, high byte first. The 64-byte map never
// programs them from a firmware file, so each is reached through a
// three-byte "JMP ext" at 0x0450 + 3k.
inline constexpr std::uint32_t kVectorAddress = 0xFFCC;
inline constexpr int kVectorCount = 26;
inline constexpr std::uint32_t kJumpTableAddress = 0x0450;
inline constexpr std::uint8_t kJumpOpcode = 0xCC;

inline constexpr std::uint8_t kErased = 0xFF;

namespace detail {

template <std::size_t N> struct BlockFiller {
    std::array<FlashBlock, N> table{};
    std::size_t next = 0;

    constexpr void add(std::int32_t address, std::uint8_t length) { table[next++] = {address, length}; }
    // Consecutive blocks of one length from first up to last (inclusive).
    constexpr void rows(std::int32_t first, std::int32_t last, std::uint8_t length)
    {
        for (std::int32_t a = first; a <= last; a += length)
            add(a, length);
    }
};

} // namespace detail

// HC08 map, 64-byte rows: 0x0450..0x04FF (64 + 64 + 48), 0x0580..0x05FF,
// 0x0E00..0x7FFF, 0x8000..0xF8FF. 0xF900 up belongs to the bootloader.
constexpr FlashBlocks64Table makeFlashBlocks64()
{
    detail::BlockFiller<945> f;
    f.add(0x0450, 64);
    f.add(0x0490, 64);
    f.add(0x04D0, 48);
    f.rows(0x0580, 0x05C0, 64);
    f.rows(0x0E00, 0x7FC0, 64);
    f.rows(0x8000, 0xF8C0, 64);
    return f.table;
}

// 128-byte rows from 0x1200 to 0xFBFF, around the hole 0x1800..0x182B.
constexpr FlashBlocks128Table makeFlashBlocks128()
{
    detail::BlockFiller<468> f;
    f.rows(0x1200, 0x1780, 128);
    f.add(0x182C, 84);
    f.rows(0x1880, 0xFB80, 128);
    return f.table;
}

// The bootloader's own map: 0x0450..0x04FF split 48 + 64 + 64, up to
// 0xFDFF, then the vectors and, last, the two bytes at 0xFF80.
constexpr BootloaderBlocksTable makeBootloaderBlocks()
{
    detail::BlockFiller<967> f;
    f.add(0x0450, 48);
    f.add(0x0480, 64);
    f.add(0x04C0, 64);
    f.rows(0x0580, 0x05C0, 64);
    f.rows(0x0E00, 0x7FC0, 64);
    f.rows(0x8000, 0xFDC0, 64);
    f.add(0xFFCC, 52);
    f.add(0xFF80, 2);
    return f.table;
}

inline constexpr FlashBlocks64Table kFlashBlocks64 = makeFlashBlocks64();
inline constexpr FlashBlocks128Table kFlashBlocks128 = makeFlashBlocks128();
inline constexpr BootloaderBlocksTable kBootloaderBlocks = makeBootloaderBlocks();

// Every entry filled: an underfilled generator would leave zero entries at the end.
static_assert(kFlashBlocks64.back() == FlashBlock{0xF8C0, 64});
static_assert(kFlashBlocks128.back() == FlashBlock{0xFB80, 128});
static_assert(kBootloaderBlocks.back() == FlashBlock{0xFF80, 2});

void BuildFlashBlocks64(FirmwareSet &set);
void BuildFlashBlocks128(FirmwareSet &set);
void BuildBootloaderBlocks(FirmwareSet &set);

// Writes the jump table 0x0450..0x049D of image from its vectors; the
// vectors themselves stay.
void RelocateVectors(MemoryImage &image);

// True when every byte of the block is 0xFF: such a block is never sent.
bool isErased(const FlashBlock &block, const MemoryImage &image);

// What a firmware pass along a table would send: "P" records of
// 7 + 2 * Length characters, one per block that is not erased.
struct HexRecordLoad {
    int blocks = 0;
    long characters = 0;
};
HexRecordLoad hexRecordLoad(std::span<const FlashBlock> table, const MemoryImage &image);

} // namespace romwright
