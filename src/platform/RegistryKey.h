#pragma once
// One key of the registry as QSettings: the system registry on Windows
// (WindowsRegistryKey.cpp), a group of our own INI file elsewhere
// (IniRegistryKey.cpp).

#include <QSettings>
#include <QString>

#include <memory>

namespace romwright {

// root is "HKEY_LOCAL_MACHINE" and the like; key has backslash-separated names.
std::unique_ptr<QSettings> openRegistryKey(const QString &root, const QString &key, const QString &iniPath);

} // namespace romwright
