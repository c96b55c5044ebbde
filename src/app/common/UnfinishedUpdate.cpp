#include "app/common/UnfinishedUpdate.h"

#include "family/BootLetters.h"
#include "platform/FileSystem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace romwright {

namespace {

constexpr const char *kPrefix = "unfinished-port";
constexpr const char *kSuffix = ".json";

} // namespace

QJsonObject toJson(const UnfinishedUpdate &r)
{
    return {{QStringLiteral("port"), r.port},
            {QStringLiteral("device"), r.device},
            {QStringLiteral("model"), r.model},
            {QStringLiteral("processor"), r.barCode ? QStringLiteral("barcode") : QStringLiteral("main")},
            {QStringLiteral("boot"), QString(QLatin1Char(r.boot))},
            {QStringLiteral("file"), r.file},
            {QStringLiteral("size"), double(r.size)},
            {QStringLiteral("sha256"), QString::fromLatin1(r.sha256)},
            {QStringLiteral("started"), r.started.toUTC().toString(Qt::ISODate)}};
}

namespace {

std::optional<UnfinishedUpdate> fromJson(const QJsonObject &o)
{
    UnfinishedUpdate r;
    r.port = o.value(QLatin1String("port")).toInt();
    r.device = o.value(QLatin1String("device")).toString();
    r.model = o.value(QLatin1String("model")).toString();
    r.barCode = o.value(QLatin1String("processor")).toString() == QLatin1String("barcode");
    const QString boot = o.value(QLatin1String("boot")).toString();
    r.file = o.value(QLatin1String("file")).toString();
    r.size = qint64(o.value(QLatin1String("size")).toDouble(-1));
    r.sha256 = o.value(QLatin1String("sha256")).toString().toLatin1();
    r.started = QDateTime::fromString(o.value(QLatin1String("started")).toString(), Qt::ISODate);
    if (r.port < 1 || r.file.isEmpty() || r.size < 0 || r.sha256.size() != 64 || boot.size() != 1 ||
        !letter::isGreeting(boot.at(0).toLatin1()) || !r.started.isValid())
        return std::nullopt;
    r.boot = boot.at(0).toLatin1();
    return r;
}

} // namespace

QString UnfinishedUpdate::sentence() const
{
    return QStringLiteral("An update of the %1 on port %2 was interrupted on %3.")
        .arg(model.isEmpty() ? QStringLiteral("scanner") : model)
        .arg(port)
        .arg(started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

QByteArray sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

RecordedFile checkRecordedFile(const UnfinishedUpdate &record, const FileSystem &files)
{
    const FileContents contents = files.read(record.file);
    if (contents.status != ReadStatus::Ok)
        return RecordedFile::Missing;
    if (contents.bytes.size() != record.size || sha256Hex(contents.bytes) != record.sha256)
        return RecordedFile::Changed;
    return RecordedFile::Same;
}

QString UnfinishedUpdates::pathFor(int port) const
{
    return joinPath(m_folder, QLatin1String(kPrefix) + QString::number(port) + QLatin1String(kSuffix));
}

bool UnfinishedUpdates::save(const UnfinishedUpdate &record) const
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return false;
    // Written whole or not at all: a half record would be no way back.
    QSaveFile file(pathFor(record.port));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact) + '\n');
    return file.commit();
}

void UnfinishedUpdates::remove(int port) const
{
    if (!m_folder.isEmpty())
        QFile::remove(pathFor(port));
}

std::vector<UnfinishedUpdate> UnfinishedUpdates::all() const
{
    std::vector<UnfinishedUpdate> records;
    if (m_folder.isEmpty())
        return records;
    const QStringList names = QDir(m_folder).entryList(
        {QLatin1String(kPrefix) + QLatin1Char('*') + QLatin1String(kSuffix)}, QDir::Files);
    LocalFileSystem files;
    for (const QString &name : names) {
        const FileContents contents = files.read(joinPath(m_folder, name));
        if (contents.status != ReadStatus::Ok)
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(contents.bytes);
        if (const std::optional<UnfinishedUpdate> record = fromJson(document.object());
            record && pathFor(record->port).endsWith(name))
            records.push_back(*record);
    }
    std::sort(records.begin(), records.end(),
              [](const UnfinishedUpdate &a, const UnfinishedUpdate &b) { return a.started > b.started; });
    return records;
}

} // namespace romwright
