#pragma once
// The firmware file against the scanner it is about to be programmed into:
// another family, processor or boot software is asked about, a loader file
// or a file that holds nothing for the scanner is refused.

#include "image/FirmwareKind.h"

#include <QString>

#include <optional>

namespace romwright {

inline constexpr const char *kFirmwareCheckTitle = "Firmware Check";
inline constexpr const char *kProgramAnyway = " Program it anyway?"; // after an Ask verdict in the window

struct ScannerAtHand {
    int typeOfScanner = 0;        // a ScannerType; 0 (kNotDetected) not known
    std::optional<bool> bTargetA; // nullopt until the identification has run
    bool bBarCodeProcessor = false;
};

struct FirmwareVerdict {
    enum class Kind {
        Fits,
        Ask,    // text: "The file NAME is firmware for ..., but the scanner is ...."
        Refuse, // text: why it cannot be programmed
    } kind = Kind::Fits;
    QString text;
};

// "the Halvern 1450 with the 64-byte boot software", "the BarCode processor of
// the Wexmoor 3650"; for a name outside the release patterns, what its data fits.
QString firmwareMeantFor(const FirmwareKind &kind);

// Without bTargetA only the loader, family and processor are judged; the
// boot software and the content wait for the identification.
FirmwareVerdict checkFirmware(const QString &fileName, const FirmwareKind &kind, const ScannerAtHand &scanner);

} // namespace romwright
