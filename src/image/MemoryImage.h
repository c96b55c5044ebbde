#pragma once
// The target's 64 KB address space as a byte array, and the flash block
// tables that say which parts of it are programmed, in which order.

#include <QString>

#include <array>
#include <bitset>
#include <cstdint>

namespace romwright {

inline constexpr std::size_t kImageSize = 0x10000;

// Index = target address 0x0000..0xFFFF.
using MemoryImage = std::array<std::uint8_t, kImageSize>;

// One block of flash: Address .. Address + Length - 1.
struct FlashBlock {
    std::int32_t Address = 0;
    std::uint8_t Length = 0;
    friend bool operator==(const FlashBlock &, const FlashBlock &) = default;
};

using FlashBlocks64Table = std::array<FlashBlock, 945>;
using FlashBlocks128Table = std::array<FlashBlock, 468>;
using BootloaderBlocksTable = std::array<FlashBlock, 967>;

// One bit per address: where a file put bytes other than erased flash.
using FirmwareData = std::bitset<kImageSize>;

// The three images and three tables the main window holds for the whole run.
// Zero-filled until FileOpen first fills them.
struct FirmwareSet {
    MemoryImage RamLoaderImage{};  // "FlashProgrammer.sss"; 0x0050..0x044F is sent
    MemoryImage BootloaderImage{}; // "bootloader.sss", along BootloaderBlocks
    MemoryImage FirmwareImage{};   // the chosen firmware, along FlashBlocks64 or FlashBlocks128
    FlashBlocks64Table FlashBlocks64{};
    FlashBlocks128Table FlashBlocks128{};
    BootloaderBlocksTable BootloaderBlocks{};
    // What the firmware file itself filled, before the jump table was written
    // over it: the file is judged against the scanner by this.
    FirmwareData FirmwareFileData{};
    // The text of the firmware file's S0 header, where a release names itself.
    QString FirmwareHeader;
    // Set by FileOpen: all three files were read and held valid data. The
    // flashing engine refuses to program unless it is true.
    bool FilesValid = false;
};

} // namespace romwright
