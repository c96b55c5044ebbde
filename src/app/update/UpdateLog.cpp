#include "app/update/UpdateLog.h"

#include "platform/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>

#include <algorithm>

namespace romwright {

namespace {

// Longer than any append takes; a lock left by a process that died is
// taken over at once (QLockFile knows its owner's process id).
constexpr int kLockWaitMs = 2000;

// A link standing at path (an entry of the state folder) is renamed aside,
// never written through, and said in linksSetAside.
void setAsideLink(const QString &what, const QString &path, QStringList *linksSetAside)
{
    const std::optional<QString> target = linkTarget(path);
    if (!target)
        return;
    const QString aside = renameAside(path, QStringLiteral(".link"));
    const QString text = QStringLiteral("%1 %2 is a symbolic link to %3, which is never written through; ")
                             .arg(what, displayFileName(path), displayFileName(*target));
    if (linksSetAside)
        *linksSetAside << text + (aside.isEmpty() ? QStringLiteral("it could not be moved aside.")
                                                  : QStringLiteral("it was moved to %1 and a new one begun.")
                                                        .arg(displayFileName(aside)));
}

QList<QByteArray> nonEmptyLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

} // namespace

UpdateLog::UpdateLog(QString folder, int maxLines) : m_folder(std::move(folder)), m_maxLines(maxLines) {}

QString UpdateLog::path() const
{
    return joinPath(m_folder, QLatin1String(kUpdateLogName));
}

bool UpdateLog::append(const QJsonObject &entry, QStringList *linksSetAside) const
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return false;
    // The scanners of a several-scanner run end at about the same time, each
    // in a process of its own: one writer at a time, so that no line is lost
    // to another's rewrite.
    QLockFile lock(path() + QLatin1String(".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return false;
    setAsideLink(QStringLiteral("The update log"), path(), linksSetAside);
    const FileContents old = LocalFileSystem().read(path());
    if (old.status != ReadStatus::Ok && old.status != ReadStatus::NotFound)
        return false; // no log the program wrote is that large, or a folder in its place
    QList<QByteArray> lines = nonEmptyLines(old.bytes);
    // Rewritten whole or not at all, beside the log: a crash or a full disk
    // leaves the log as it was, never half of it.
    lines.erase(lines.begin(), lines.end() - std::min<qsizetype>(lines.size(), m_maxLines - 1));
    QByteArray bytes;
    for (const QByteArray &kept : lines)
        bytes += kept + '\n';
    return replaceEntry(path(), bytes + QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
}

QString UpdateLog::keepTranscript(const QString &stem, const QString &text, QStringList *linksSetAside) const
{
    const QString folder = joinPath(m_folder, QLatin1String(kTranscriptFolder));
    if (m_folder.isEmpty())
        return {};
    setAsideLink(QStringLiteral("The folder of transcripts"), folder, linksSetAside);
    if (!QDir().mkpath(folder))
        return {};
    // A name nothing stands at, not even a link that leads nowhere.
    QString name = stem + QLatin1String(".txt");
    for (int n = 2; QFileInfo::exists(joinPath(folder, name)) || linkTarget(joinPath(folder, name)); ++n)
        name = stem + QStringLiteral("-%1.txt").arg(n);
    if (!replaceEntry(joinPath(folder, name), text.toUtf8()))
        return {};
    // Named by their time, so the oldest sort first.
    QStringList names = QDir(folder).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    names.removeAll(name);
    while (names.size() >= kKeptTranscripts)
        QFile::remove(joinPath(folder, names.takeFirst()));
    return QLatin1String(kTranscriptFolder) + QLatin1Char('/') + name;
}

UpdateLogContents UpdateLog::read() const
{
    UpdateLogContents contents;
    if (m_folder.isEmpty())
        return contents;
    const FileContents file = LocalFileSystem().read(path());
    if (file.status == ReadStatus::NotFound)
        return contents;
    if (file.status != ReadStatus::Ok) {
        contents.readable = false;
        return contents;
    }
    for (const QByteArray &line : nonEmptyLines(file.bytes)) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (!document.isObject()) {
            ++contents.damaged;
            continue;
        }
        contents.entries.push_back(document.object());
        contents.lines.push_back(line);
    }
    return contents;
}

QString historyTable(const std::vector<QJsonObject> &entries)
{
    const QStringList headings = {QStringLiteral("started"), QStringLiteral("port"),
                                  QStringLiteral("model"),   QStringLiteral("processor"),
                                  QStringLiteral("file"),    QStringLiteral("result"),
                                  QStringLiteral("blocks"),  QStringLiteral("seconds")};
    // Numbers to the right, text to the left.
    const std::vector<bool> right = {false, true, false, false, false, false, true, true};
    std::vector<QStringList> rows{headings};
    for (const QJsonObject &e : entries) {
        auto text = [&e](const char *key) {
            const QString value = e.value(QLatin1String(key)).toString();
            return value.isEmpty() ? QStringLiteral("-") : value;
        };
        const QDateTime started =
            QDateTime::fromString(e.value(QLatin1String("started")).toString(), Qt::ISODateWithMs);
        const int total = e.value(QLatin1String("blocksTotal")).toInt();
        rows.push_back(
            {started.isValid() ? started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                               : QStringLiteral("-"),
             QString::number(e.value(QLatin1String("port")).toInt()), text("model"), text("processor"),
             displayFileName(QFileInfo(e.value(QLatin1String("file")).toString()).fileName()), text("result"),
             total > 0 ? QStringLiteral("%1/%2").arg(e.value(QLatin1String("blocksSent")).toInt()).arg(total)
                       : QStringLiteral("-"),
             QString::number(e.value(QLatin1String("seconds")).toDouble(), 'f', 1)});
    }
    std::vector<qsizetype> widths(headings.size(), 0);
    for (const QStringList &row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    QString table;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                line += QLatin1String("  ");
            line += right[i] ? row[i].rightJustified(widths[i]) : row[i].leftJustified(widths[i]);
        }
        table += line.trimmed() + QLatin1Char('\n');
    }
    return table;
}

} // namespace romwright
