#include "scanner/ChooserAnswer.h"

#include <gtest/gtest.h>

using namespace romwright;

TEST(ChooserAnswer, TypedAnswersGiveTheChoosersModels)
{
    const std::pair<const char *, ChooserAnswer> cases[] = {
        {"1", {ChooserReply::Model, QStringLiteral("Halvern1450")}},
        {" 2 ", {ChooserReply::Model, QStringLiteral("Jorlith750")}},
        {"Jorlith", {ChooserReply::Model, QStringLiteral("Jorlith750")}},
        {"halvern 1450", {ChooserReply::Model, QStringLiteral("Halvern1450")}},
        {"Wexmoor3650", {ChooserReply::Model, QStringLiteral("Wexmoor 3650")}},
        {"0", {ChooserReply::Exit, QString()}},
        {"Exit", {ChooserReply::Exit, QString()}},
        {"", {ChooserReply::Unknown, QString()}},
        {"4", {ChooserReply::Unknown, QString()}},
        {"Halvern 750", {ChooserReply::Unknown, QString()}},
        {"12", {ChooserReply::Unknown, QString()}},
    };
    for (const auto &[text, expected] : cases) {
        const ChooserAnswer answer = parseChooserAnswer(QLatin1String(text));
        EXPECT_EQ(answer.reply, expected.reply) << text;
        EXPECT_EQ(answer.model, expected.model) << text;
    }
}
