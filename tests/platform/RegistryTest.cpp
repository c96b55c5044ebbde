#include "platform/Registry.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace romwright;

TEST(SettingsRegistry, ValuesRoundTripAndStaySeparatedByRootAndKey)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("registry.ini"));
    auto reg = makeSettingsRegistry(ini);
    const QString key = QStringLiteral("Software\\Microsoft\\Windows\\HTML Help");

    EXPECT_FALSE(reg->keyExists(RegistryRoot::LocalMachine, key));
    EXPECT_FALSE(reg->value(RegistryRoot::LocalMachine, key, QStringLiteral("Romwright.CHM")));

    ASSERT_TRUE(reg->setValue(RegistryRoot::LocalMachine, key, QStringLiteral("Romwright.CHM"), QStringLiteral("/opt/rw")));
    EXPECT_TRUE(reg->keyExists(RegistryRoot::LocalMachine, key));
    EXPECT_EQ(reg->value(RegistryRoot::LocalMachine, key, QStringLiteral("Romwright.CHM"))->toString(), QStringLiteral("/opt/rw"));
    EXPECT_FALSE(reg->value(RegistryRoot::CurrentUser, key, QStringLiteral("Romwright.CHM")));

    // A second object over the same file sees what the first wrote.
    auto again = makeSettingsRegistry(ini);
    EXPECT_TRUE(again->value(RegistryRoot::LocalMachine, key, QStringLiteral("Romwright.CHM")));

    EXPECT_TRUE(reg->removeValue(RegistryRoot::LocalMachine, key, QStringLiteral("Romwright.CHM")));
    EXPECT_FALSE(reg->removeValue(RegistryRoot::LocalMachine, key, QStringLiteral("Romwright.CHM")));
    EXPECT_FALSE(reg->value(RegistryRoot::LocalMachine, key, QStringLiteral("Romwright.CHM")));

    // The default value has its own name.
    ASSERT_TRUE(reg->setValue(RegistryRoot::ClassesRoot, key, QString(), QStringLiteral("/usr/lib/viewer")));
    EXPECT_EQ(reg->value(RegistryRoot::ClassesRoot, key, QString())->toString(), QStringLiteral("/usr/lib/viewer"));
}
