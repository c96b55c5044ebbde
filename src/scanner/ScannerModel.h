#pragma once
// One supported scanner model: how to reach it on the line and what it says
// when asked who it is.

#include "family/ScannerFamilies.h"

#include <QString>
#include <QtGlobal>

namespace romwright {

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
