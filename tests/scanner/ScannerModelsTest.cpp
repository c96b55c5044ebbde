#include "scanner/ScannerModels.h"

#include <gtest/gtest.h>

using namespace romwright;

TEST(ScannerModels, StandardTableProbesInOrderWithItsRates)
{
    ScannerModels models;
    addStandardModels(models);
    ASSERT_EQ(models.Count(), 5);

    struct Row {
        const char *key;
        const char *settings;
        const char *name;
        qint32 type;
    };
    const Row expected[] = {
        {"k_HLV14", "38400,n,8,1", "Halvern 1450", kHalvern1450},
        {"k_JL07", "38400,n,8,1", "Jorlith 750", kJorlith750},
        {"k_HLV14C", "19200,n,8,1", "Halvern 1450", kHalvern1450},
        {"k_JL07C", "19200,n,8,1", "Jorlith 750", kJorlith750},
        {"k_WX36", "38400,n,8,1", "Wexmoor 3650", kWexmoor3650},
    };
    int position = 1;
    for (const auto &model : models) {
        const Row &row = expected[position - 1];
        SCOPED_TRACE(row.key);
        EXPECT_EQ(models.Item(position), model);
        EXPECT_EQ(models.Item(QLatin1String(row.key)), model);
        EXPECT_EQ(model->CommandSettings(), QLatin1String(row.settings));
        EXPECT_EQ(model->ScannerName, QLatin1String(row.name));
        EXPECT_EQ(model->TypeOfScanner, row.type);
        EXPECT_EQ(model->VersionCommand, QLatin1String("V"));
        ++position;
    }
    EXPECT_EQ(position, 6);
}

TEST(ScannerModels, PositionsAndKeysOutsideTheCollectionGiveNothing)
{
    ScannerModels models;
    addStandardModels(models);
    for (qint32 position : {-1, 0, 6})
        EXPECT_EQ(models.Item(position), nullptr) << position;
    EXPECT_EQ(models.Item(QStringLiteral("k_none")), nullptr);
    EXPECT_EQ(models.Item(QString()), nullptr);
    EXPECT_FALSE(models.Remove(0));
    EXPECT_FALSE(models.Remove(QStringLiteral("k_none")));
    EXPECT_EQ(models.Count(), 5);
}

TEST(ScannerModels, KeysAreOptionalAndUnique)
{
    ScannerModels models;
    const auto first = models.Add(QStringLiteral("V"), QStringLiteral("A"), QStringLiteral("One"), QStringLiteral("9600"), 7);
    const auto second = models.Add(QStringLiteral("V"), QStringLiteral("B"), QStringLiteral("Two"), QStringLiteral("9600"), 8);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(models.Count(), 2); // two models without keys live side by side

    ASSERT_TRUE(models.Add(QStringLiteral("V"), QStringLiteral("C"), QStringLiteral("Three"), QStringLiteral("9600"), 9,
                           QStringLiteral("k")));
    EXPECT_EQ(models.Add(QStringLiteral("X"), QStringLiteral("D"), QStringLiteral("Four"), QStringLiteral("9600"), 10,
                         QStringLiteral("k")),
              nullptr);
    EXPECT_EQ(models.Count(), 3);
    EXPECT_EQ(models.Item(QStringLiteral("k"))->ScannerName, QLatin1String("Three"));

    EXPECT_TRUE(models.Remove(1));
    EXPECT_EQ(models.Item(1), second);
    EXPECT_TRUE(models.Remove(QStringLiteral("k")));
    EXPECT_EQ(models.Count(), 1);
    // The key is free again once its model is gone.
    EXPECT_TRUE(models.Add(QString(), QString(), QString(), QString(), 0, QStringLiteral("k")));
}
