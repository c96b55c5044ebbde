#include "scanner/ScannerModels.h"

#include <gtest/gtest.h>

using namespace romwright;

TEST(ScannerModels, KeysAreOptionalAndUniqueAndOutOfRangeGivesNothing)
{
    ScannerModels models;
    auto add = [&](const char *name, const QString &key = {}) {
        return models.Add(QStringLiteral("V"), QString(), QLatin1String(name), QStringLiteral("9600"), 7, key);
    };
    ASSERT_TRUE(add("One") && add("Two")); // two models without keys live side by side
    ASSERT_TRUE(add("Three", QStringLiteral("k")));
    EXPECT_EQ(add("Four", QStringLiteral("k")), nullptr);
    EXPECT_EQ(models.Count(), 3);
    for (qint32 position : {-1, 0, 4})
        EXPECT_EQ(models.Item(position), nullptr) << position;
    EXPECT_EQ(models.Item(QString()), nullptr);
    EXPECT_FALSE(models.Remove(0));
    EXPECT_FALSE(models.Remove(QStringLiteral("none")));

    EXPECT_TRUE(models.Remove(1));
    EXPECT_EQ(models.Item(1)->ScannerName, QLatin1String("Two"));
    EXPECT_TRUE(models.Remove(QStringLiteral("k")));
    EXPECT_EQ(models.Count(), 1);
    EXPECT_TRUE(add("Five", QStringLiteral("k"))) << "the key is free again once its model is gone";
}
