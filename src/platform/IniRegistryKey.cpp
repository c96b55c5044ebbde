#include "platform/RegistryKey.h"

namespace romwright {

std::unique_ptr<QSettings> openRegistryKey(const QString &root, const QString &key, const QString &iniPath)
{
    auto s = std::make_unique<QSettings>(iniPath, QSettings::IniFormat);
    s->beginGroup(root + QLatin1Char('/') + QString(key).replace(QLatin1Char('\\'), QLatin1Char('/')));
    return s;
}

} // namespace romwright
