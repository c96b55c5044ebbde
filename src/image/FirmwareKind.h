#pragma once
// What a firmware file is for. The name says it as the releases are named:
// "Hlv" Halvern, "JL" Jorlith, "WX" Wexmoor; a "U" after the model number
// marks a Halvern or Jorlith release for the 128-byte boot software; the
// Wexmoor's ".s19" goes to its Main processor, ".s20" to its BarCode one.
// The content says whether an update along a block table writes all of it.

#include "image/MemoryImage.h"

#include <QByteArray>
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

// What a release name says; also read from the text of a file's S0 header.
struct ReleaseKind {
    FirmwareFamily family = FirmwareFamily::Unknown;
    BootSoftware boot = BootSoftware::Any;
    WexmoorProcessor processor = WexmoorProcessor::Any;
    friend bool operator==(const ReleaseKind &, const ReleaseKind &) = default;
};

// name without folder: "JL750Ver6_0.s19" is a Jorlith release for the 64-byte boot software.
ReleaseKind releaseKind(const QString &name);

// Where the two say something, they say the same: the family, the boot
// software and the processor, each where both name one.
bool releaseKindsAgree(const ReleaseKind &a, const ReleaseKind &b);

// The S0 data as text: Latin-1 up to the first NUL, other control characters
// as blanks, trimmed.
QString headerText(const QByteArray &data);

struct FirmwareKind {
    bool loader = false; // "FlashProgrammer.sss" or "bootloader.sss": never firmware
    FirmwareFamily family = FirmwareFamily::Unknown;
    BootSoftware boot = BootSoftware::Any;              // Halvern and Jorlith names only
    WexmoorProcessor processor = WexmoorProcessor::Any; // Wexmoor names only
    ContentFit fit64 = ContentFit::Nothing;             // along FlashBlocks64, vectors via the jump table
    ContentFit fit128 = ContentFit::Nothing;            // along FlashBlocks128
    // The file's header: what its text says, and the text ("" when it has none).
    ReleaseKind header{};
    QString headerText{};

    ContentFit fit(bool blocks128) const { return blocks128 ? fit128 : fit64; }
    friend bool operator==(const FirmwareKind &, const FirmwareKind &) = default;
};

// fileName may carry its folder and is judged as the user gave it (a link by
// its own name). A name outside the release patterns takes the family, boot
// software and processor from header; when that tells nothing either, the
// family stays Unknown and the data alone is judged.
FirmwareKind firmwareKind(const QString &fileName, const FirmwareData &data,
                          const QString &header = QString());

} // namespace romwright
