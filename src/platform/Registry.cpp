#include "platform/Registry.h"

#include "platform/FileSystem.h"
#include "platform/RegistryKey.h"

#include <QSettings>

namespace romwright {
namespace {

QString rootName(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::ClassesRoot:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    case RegistryRoot::CurrentUser:
        return QStringLiteral("HKEY_CURRENT_USER");
    case RegistryRoot::LocalMachine:
        break;
    }
    return QStringLiteral("HKEY_LOCAL_MACHINE");
}

// Value names may hold characters QSettings treats as separators; the default
// value ("") gets a name of its own.
QString valueName(const QString &name)
{
    return name.isEmpty() ? QStringLiteral("Default")
                          : QString(name).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

class SettingsRegistry final : public Registry {
public:
    explicit SettingsRegistry(QString iniPath) : m_iniPath(std::move(iniPath)) {}

    bool keyExists(RegistryRoot root, const QString &key) const override
    {
        auto s = open(root, key);
        return !s->childKeys().isEmpty() || !s->childGroups().isEmpty();
    }

    std::optional<QVariant> value(RegistryRoot root, const QString &key, const QString &name) const override
    {
        auto s = open(root, key);
        const QString n = valueName(name);
        if (!s->contains(n))
            return std::nullopt;
        return s->value(n);
    }

    bool setValue(RegistryRoot root, const QString &key, const QString &name, const QVariant &value) override
    {
        auto s = open(root, key);
        s->setValue(valueName(name), value);
        s->sync();
        return s->status() == QSettings::NoError;
    }

    bool removeValue(RegistryRoot root, const QString &key, const QString &name) override
    {
        auto s = open(root, key);
        const QString n = valueName(name);
        if (!s->contains(n))
            return false;
        s->remove(n);
        s->sync();
        return s->status() == QSettings::NoError;
    }

private:
    std::unique_ptr<QSettings> open(RegistryRoot root, const QString &key) const
    {
        return openRegistryKey(rootName(root), key, m_iniPath);
    }

    QString m_iniPath;
};

} // namespace

std::unique_ptr<Registry> makeSettingsRegistry(const QString &iniPath)
{
    QString path = iniPath;
    // Without any home folder there is nowhere to keep it: nothing is stored.
    if (const QString config = userConfigHome(); path.isEmpty() && !config.isEmpty())
        path = joinPath(config, QStringLiteral("Romwright/registry.ini"));
    return std::make_unique<SettingsRegistry>(path);
}

} // namespace romwright
