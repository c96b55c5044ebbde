#include "image/FlashLayout.h"

#include <algorithm>

namespace romwright {

void BuildFlashBlocks64(FirmwareSet &set)
{
    set.FlashBlocks64 = kFlashBlocks64;
}

void BuildFlashBlocks128(FirmwareSet &set)
{
    set.FlashBlocks128 = kFlashBlocks128;
}

void BuildBootloaderBlocks(FirmwareSet &set)
{
    set.BootloaderBlocks = kBootloaderBlocks;
}

void RelocateVectors(MemoryImage &image)
{
    for (std::size_t k = 0; k < kVectorCount; ++k) {
        const std::size_t entry = kJumpTableAddress + 3 * k;
        const std::size_t vector = kVectorAddress + 2 * k;
        image[entry] = kJumpOpcode;
        image[entry + 1] = image[vector];
        image[entry + 2] = image[vector + 1];
    }
}

bool isErased(const FlashBlock &block, const MemoryImage &image)
{
    const auto first = image.begin() + block.Address;
    return std::all_of(first, first + block.Length, [](std::uint8_t b) { return b == kErased; });
}

HexRecordLoad hexRecordLoad(std::span<const FlashBlock> table, const MemoryImage &image)
{
    HexRecordLoad load;
    for (const FlashBlock &block : table) {
        if (isErased(block, image)) // also the zero entries of a table never built
            continue;
        ++load.blocks;
        load.characters += 7 + 2L * block.Length;
    }
    return load;
}

} // namespace romwright
