#include "help/HelpFilePaths.h"

#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <algorithm>

namespace romwright::helppaths {

bool endsWith(const QString &text, QLatin1StringView ending)
{
    return text.right(3).compare(ending, Qt::CaseInsensitive) == 0;
}

qsizetype lastSeparator(const QString &path)
{
    return std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
}

QString fileNameOf(const QString &path)
{
    return path.mid(lastSeparator(path) + 1);
}

QString plainLongPath(QString path)
{
    path.remove(QLatin1Char('"'));
    path = path.trimmed();
    static const QRegularExpression variable(QStringLiteral("%([^%]+)%"));
    const auto env = QProcessEnvironment::systemEnvironment();
    QString expanded;
    qsizetype from = 0;
    for (auto it = variable.globalMatch(path); it.hasNext();) {
        const auto m = it.next();
        expanded += path.mid(from, m.capturedStart() - from);
        const QString name = m.captured(1);
        expanded += env.contains(name) ? env.value(name) : m.captured(0);
        from = m.capturedEnd();
    }
    expanded += path.mid(from);
    if (expanded.contains(QLatin1Char('~'))) {
        const QString canonical = QFileInfo(expanded).canonicalFilePath();
        if (!canonical.isEmpty())
            return canonical;
    }
    return expanded;
}

} // namespace romwright::helppaths
