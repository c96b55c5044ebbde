#include "scanner/ChooserAnswer.h"

#include <QStringList>

namespace romwright {
namespace {

QString squeezed(const QString &text)
{
    QString result = text.trimmed().toLower();
    result.remove(QLatin1Char(' '));
    return result;
}

// The chooser's buttons are the families in table order, numbered from 1.
QString numberOf(const ScannerFamily &f)
{
    return QString::number(&f - kScannerFamilies.data() + 1);
}

} // namespace

QString chooserQuestion()
{
    QString text;
    for (const ScannerFamily &f : kScannerFamilies)
        text += QStringLiteral("%1 %2, ").arg(numberOf(f), latin1(f.shown));
    return text + QStringLiteral("0 Exit");
}

ChooserAnswer parseChooserAnswer(const QString &text)
{
    const QString answer = squeezed(text);
    if (answer == QLatin1String("0") || answer == QLatin1String("exit"))
        return {ChooserReply::Exit, QString()};
    for (const ScannerFamily &f : kScannerFamilies) {
        if (answer == numberOf(f) || answer == squeezed(latin1(f.family)) ||
            answer == squeezed(latin1(f.shown)))
            return {ChooserReply::Model, latin1(f.chooserModel)};
    }
    return {};
}

QString modelShownFor(const QString &text)
{
    const ChooserAnswer answer = parseChooserAnswer(text);
    if (answer.reply != ChooserReply::Model)
        return QString();
    return latin1(familyChosen(answer.model).shown);
}

QString familyWords()
{
    QStringList words;
    for (const ScannerFamily &f : kScannerFamilies)
        words << latin1(f.family).toLower();
    const QString last = words.takeLast();
    return words.isEmpty() ? last : words.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

const ScannerFamily &familyChosen(const QString &model)
{
    for (const ScannerFamily &f : kScannerFamilies)
        if (model == latin1(f.chooserModel))
            return f;
    return kScannerFamilies.back();
}

} // namespace romwright
