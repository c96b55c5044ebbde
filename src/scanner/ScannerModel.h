#pragma once
// One supported scanner model: how to reach it on the line and what it says
// when asked who it is.

#include <QString>
#include <QtGlobal>

namespace romwright {

// Scanner-type codes as the whole program reads them (TypeOfScanner).
enum ScannerType : qint32 {
    kNotDetected = 0,
    kJorlith750 = 1,
    kHalvern1450 = 2,
    kWexmoor3650 = 5,
    kNoScannerFound = 6,
};

struct ScannerModel {
    qint32 TypeOfScanner = kNotDetected;
    QString Baud;           // decimal text, e.g. "38400"
    QString ScannerName;    // e.g. "Halvern 1450"
    QString VersionData;    // identity answer without its line end
    QString VersionCommand; // what asks for the identity

    // The serial settings string for this model's rate, e.g. "38400,n,8,1".
    QString CommandSettings() const;
};

} // namespace romwright
