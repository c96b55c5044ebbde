#include "scanner/ScannerModel.h"

namespace romwright {

QString ScannerModel::CommandSettings() const
{
    return Baud + QStringLiteral(",n,8,1");
}

} // namespace romwright
