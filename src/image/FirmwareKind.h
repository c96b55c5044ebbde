#pragma once
// What a firmware file is for. The name says it as the releases are named:
// "Hlv" Halvern, "JL" Jorlith, "WX" Wexmoor; a "U" after the model number
// marks a Halvern or Jorlith release for the 128-byte boot software; the
// Wexmoor's ".s19" goes to its Main processor, ".s20" to its BarCode one.
// The content says whether an update along a block table writes all of it.

#include "image/MemoryImage.h"

#include <QString>

namespace romwright {

// The bytes of image that are not 0xFF; image read over an erased fill.
FirmwareData firmwareData(const MemoryImage &image);

enum class FirmwareFamily { Unknown, Halvern, Jorlith, Wexmoor };
enum class BootSoftware { Any, Rows64, Rows128 };
enum class WexmoorProcessor { Any, Main, BarCode };

enum class ContentFit {
    Fits,
    Outside, // some data lies where the pass along the table never writes
    Nothing, // no data in any block of the table: the pass would write nothing
};

struct FirmwareKind {
    bool loader = false; // "FlashProgrammer.sss" or "bootloader.sss": never firmware
    FirmwareFamily family = FirmwareFamily::Unknown;
    BootSoftware boot = BootSoftware::Any;              // Halvern and Jorlith names only
    WexmoorProcessor processor = WexmoorProcessor::Any; // Wexmoor names only
    ContentFit fit64 = ContentFit::Nothing;             // along FlashBlocks64, vectors via the jump table
    ContentFit fit128 = ContentFit::Nothing;            // along FlashBlocks128

    ContentFit fit(bool blocks128) const { return blocks128 ? fit128 : fit64; }
    friend bool operator==(const FirmwareKind &, const FirmwareKind &) = default;
};

// fileName may carry its folder; a name outside the release patterns leaves the
// family Unknown and is judged by data alone.
FirmwareKind firmwareKind(const QString &fileName, const FirmwareData &data);

} // namespace romwright
