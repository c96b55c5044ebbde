#include "scanner/ChooserAnswer.h"

#include <array>

namespace romwright {
namespace {

struct Choice {
    const char *number;
    const char *family;
    const char *name; // as the chooser's button shows it
    const char *model;
};

constexpr std::array<Choice, 3> kChoices{{
    {"1", "halvern", "Halvern 1450", "Halvern1450"},
    {"2", "jorlith", "Jorlith 750", "Jorlith750"},
    {"3", "wexmoor", "Wexmoor 3650", "Wexmoor 3650"},
}};

QString squeezed(const QString &text)
{
    QString result = text.trimmed().toLower();
    result.remove(QLatin1Char(' '));
    return result;
}

} // namespace

QString chooserQuestion()
{
    QString text;
    for (const Choice &c : kChoices)
        text += QStringLiteral("%1 %2, ").arg(QLatin1String(c.number), QLatin1String(c.name));
    return text + QStringLiteral("0 Exit");
}

ChooserAnswer parseChooserAnswer(const QString &text)
{
    const QString answer = squeezed(text);
    if (answer == QLatin1String("0") || answer == QLatin1String("exit"))
        return {ChooserReply::Exit, QString()};
    for (const Choice &c : kChoices) {
        if (answer == QLatin1String(c.number) || answer == QLatin1String(c.family) ||
            answer == squeezed(QLatin1String(c.name)))
            return {ChooserReply::Model, QLatin1String(c.model)};
    }
    return {};
}

QString modelShownFor(const QString &text)
{
    const ChooserAnswer answer = parseChooserAnswer(text);
    for (const Choice &c : kChoices) {
        if (answer.reply == ChooserReply::Model && answer.model == QLatin1String(c.model))
            return QLatin1String(c.name);
    }
    return QString();
}

} // namespace romwright
