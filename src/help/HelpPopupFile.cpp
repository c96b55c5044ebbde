#include "help/HelpPopupFile.h"

#include <QStringList>

namespace romwright {

std::optional<QString> popupText(const QString &fileText, std::uint32_t topic)
{
    const QStringList lines =
        QString(fileText).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(QLatin1Char('\n'));
    std::optional<QStringList> text;
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String(".topic"), Qt::CaseInsensitive)) {
            if (text)
                break;
            bool ok = false;
            const uint n = trimmed.mid(6).trimmed().toUInt(&ok);
            if (ok && n == topic)
                text.emplace();
        } else if (text) {
            text->append(line);
        }
    }
    if (!text)
        return std::nullopt;
    return text->join(QLatin1Char('\n')).trimmed();
}

} // namespace romwright
