#include "platform/RegistryKey.h"

namespace romwright {

// The 64-bit view, as the program itself is 64-bit: the keys of the system
// tools and of the help viewer are the ones 64-bit programs see.
std::unique_ptr<QSettings> openRegistryKey(const QString &root, const QString &key, const QString &)
{
    return std::make_unique<QSettings>(root + QLatin1Char('\\') + key, QSettings::Registry64Format);
}

} // namespace romwright
