#pragma once
// The firmware file against the scanner it is about to be programmed into:
// another family, processor or boot software, a name its header contradicts
// or a file that says nothing of its scanner is asked about, a loader file
// or a file that holds nothing for the scanner is refused.

#include "image/FirmwareKind.h"

#include <QString>

#include <optional>

namespace romwright {

inline constexpr const char *kFirmwareCheckTitle = "Firmware Check";
inline constexpr const char *kProgramAnyway = " Program it anyway?"; // after an Ask verdict in the window
// %1 is the file's name.
inline constexpr const char *kMeantForAnotherMessage =
    "The file %1 is firmware for %2, but the scanner is %3.";
inline constexpr const char *kLoaderNotFirmwareMessage =
    "The file %1 is a loader that the update sends by itself, not firmware. It cannot be programmed as "
    "firmware.";
inline constexpr const char *kNameAndHeaderDisagreeMessage =
    "The name of the file %1 says it is firmware for %2, but its header \"%3\" says %4.";
inline constexpr const char *kNotSaidMessage = "The file %1 does not say which scanner it is for.";
// After those two in the window; %1 is the model ("Halvern 1450").
inline constexpr const char *kProgramIntoAnyway = " Program it into the %1 anyway?";
inline constexpr const char *kNothingToWriteMessage =
    "The file %1 holds nothing that an update of a scanner with %2 would write.";

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
    QString question{}; // Ask: what the window asks after text
};

// "the Halvern 1450 with the 64-byte boot software", "the BarCode processor of
// the Wexmoor 3650"; when neither name nor header is a release name, what its data fits.
QString firmwareMeantFor(const FirmwareKind &kind);

// Name and header are judged alike and must agree. Without bTargetA only the
// loader, family and processor are judged; the boot software, the content and
// a file that says nothing of its scanner wait for the identification.
FirmwareVerdict checkFirmware(const QString &fileName, const FirmwareKind &kind,
                              const ScannerAtHand &scanner);

} // namespace romwright
