#pragma once
// What a firmware file is for. The name says it as the releases are named
// (kScannerFamilies): the family's letters ("Hlv", "JL", "WX") and the model
// number; for a family whose releases go by boot software a "U" after the
// number marks one for the 128-byte boot software, for a family with two
// processors the extension names the processor (".s19" Main, ".s20" BarCode).
// The content says whether an update along a block table writes all of it.

#include "family/ScannerFamilies.h"
#include "image/MemoryImage.h"

#include <QByteArray>
#include <QString>

namespace romwright {

// The bytes of image that are not 0xFF; image read over an erased fill.
FirmwareData firmwareData(const MemoryImage &image);

enum class ContentFit {
    Fits,
    Outside, // some data lies where the pass along the table never writes
    Nothing, // no data in any block of the table: the pass would write nothing
};

// What a release name says; also read from the text of a file's S0 header.
struct ReleaseKind {
    ScannerType family = kNotDetected; // the family's type code; kNotDetected when none is named
    BootSoftware boot = BootSoftware::Any;
    Processor processor = Processor::Any;
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
    bool loader = false;                     // "FlashProgrammer.sss" or "bootloader.sss": never firmware
    ScannerType family = kNotDetected;       // the family's type code
    BootSoftware boot = BootSoftware::Any;   // families whose releases go by boot software
    Processor processor = Processor::Any;    // families with two processors
    ContentFit fit64 = ContentFit::Nothing;  // along FlashBlocks64, vectors via the jump table
    ContentFit fit128 = ContentFit::Nothing; // along FlashBlocks128
    // The file's header: what its text says, and the text ("" when it has none).
    ReleaseKind header{};
    QString headerText{};

    ContentFit fit(bool blocks128) const { return blocks128 ? fit128 : fit64; }
    friend bool operator==(const FirmwareKind &, const FirmwareKind &) = default;
};

// fileName may carry its folder and is judged as the user gave it (a link by
// its own name). A name outside the release patterns takes the family, boot
// software and processor from header; when that tells nothing either, the
// family stays kNotDetected and the data alone is judged.
FirmwareKind firmwareKind(const QString &fileName, const FirmwareData &data,
                          const QString &header = QString());

} // namespace romwright
