#pragma once
// A small registry: roots, keys with backslash-separated names, named values.
// On Windows it is the system registry; elsewhere an INI file of our own.

#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

namespace romwright {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine };

class Registry {
public:
    virtual ~Registry() = default;
    virtual bool keyExists(RegistryRoot root, const QString &key) const = 0;
    // The value of name ("" is the key's default value), or nullopt.
    virtual std::optional<QVariant> value(RegistryRoot root, const QString &key,
                                          const QString &name) const = 0;
    virtual bool setValue(RegistryRoot root, const QString &key, const QString &name,
                          const QVariant &value) = 0;
    virtual bool removeValue(RegistryRoot root, const QString &key, const QString &name) = 0;
};

// QSettings underneath: the native registry on Windows, else the INI file
// at iniPath (default: the user's configuration folder, "Romwright/registry.ini").
std::unique_ptr<Registry> makeSettingsRegistry(const QString &iniPath = QString());

} // namespace romwright
