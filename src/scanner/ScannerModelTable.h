#pragma once
// The scanner models the program knows, in the order detection probes them.
// Rows 3 and 4 are the first two models again at 19200 baud: older firmware
// of both families talks at the lower rate. The identity answers come from
// the scanners' own version replies.

#include "scanner/ScannerModel.h"

#include <array>

namespace romwright {

struct ScannerModelRow {
    const char *key;
    qint32 typeOfScanner;
    const char *baud;
    const char *scannerName;
    const char *versionData;
    const char *versionCommand;
};

inline constexpr std::array<ScannerModelRow, 5> kScannerModelTable{{
    {"k_HLV14", kHalvern1450, "38400", "Halvern 1450", "HLV 1450OK", "V"},
    {"k_JL07", kJorlith750, "38400", "Jorlith 750", "JL 750OK", "V"},
    {"k_HLV14C", kHalvern1450, "19200", "Halvern 1450", "HLV 1450OK", "V"},
    {"k_JL07C", kJorlith750, "19200", "Jorlith 750", "JL 750OK", "V"},
    {"k_WX36", kWexmoor3650, "38400", "Wexmoor 3650", "WX 3650OK", "V"},
}};

} // namespace romwright
