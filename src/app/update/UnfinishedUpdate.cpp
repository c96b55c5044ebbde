#include "app/update/UnfinishedUpdate.h"

#include "app/update/FirmwareDiscovery.h"
#include "family/BootLetters.h"
#include "family/ScannerFamilies.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstring>

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
            {QStringLiteral("boot"), r.boot ? QJsonValue(QString(QLatin1Char(r.boot))) : QJsonValue()},
            {QStringLiteral("file"), r.file},
            {QStringLiteral("size"), double(r.size)},
            {QStringLiteral("sha256"), QString::fromLatin1(r.sha256)},
            {QStringLiteral("started"), r.started.toUTC().toString(Qt::ISODate)}};
}

namespace {

// The record in o, or what is wrong with it.
std::optional<UnfinishedUpdate> fromJson(const QJsonObject &o, QString &why)
{
    auto text = [&o](const char *key) { return o.value(QLatin1String(key)).toString(); };
    auto whole = [&o](const char *key, double low, double high) {
        const QJsonValue v = o.value(QLatin1String(key));
        return v.isDouble() && v.toDouble() == std::floor(v.toDouble()) && v.toDouble() >= low &&
               v.toDouble() <= high;
    };
    auto isText = [&o](const char *key) { return o.value(QLatin1String(key)).isString(); };
    UnfinishedUpdate r;
    r.port = o.value(QLatin1String("port")).toInt();
    r.device = text("device");
    r.model = text("model");
    r.barCode = text("processor") == QLatin1String("barcode");
    r.file = text("file");
    r.size = qint64(o.value(QLatin1String("size")).toDouble());
    r.sha256 = text("sha256").toLatin1();
    r.started = QDateTime::fromString(text("started"), Qt::ISODate);
    const QString boot = text("boot");
    const char *bad = nullptr;
    if (!whole("port", -1e9, 1e9))
        bad = "port";
    else if (!isText("device"))
        bad = "device";
    else if (typeOfScannerForModel(r.model) == kNotDetected)
        bad = "model";
    else if (text("processor") != QLatin1String("main") && !r.barCode)
        bad = "processor";
    else if (!o.value(QLatin1String("boot")).isNull() &&
             (boot.size() != 1 || !letter::isGreeting(boot.at(0).toLatin1())))
        bad = "boot";
    else if (!isText("file"))
        bad = "file";
    else if (!whole("size", 0, 1e15))
        bad = "size";
    else if (!r.file.isEmpty() &&
             (r.sha256.size() != 64 || !std::all_of(r.sha256.begin(), r.sha256.end(), [](char c) {
                  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
              })))
        bad = "sha256";
    else if (!r.started.isValid())
        bad = "started";
    if (bad) {
        why = QStringLiteral("its \"%1\" is missing or not valid").arg(QLatin1String(bad));
        return std::nullopt;
    }
    if (r.port < PortMap::kFirstPort || r.port > PortMap::kLastPort) {
        why = QStringLiteral("it names port %1, which no port can have (1 to 256)").arg(r.port);
        return std::nullopt;
    }
    r.boot = boot.isEmpty() ? 0 : boot.at(0).toLatin1();
    return r;
}

// The port a record's file is named after ("unfinished-port3.json", or
// "unfinished-port3-2.json" for one kept for another scanner); 0 for none.
int portOfName(const QString &name)
{
    const QString middle = name.mid(int(std::strlen(kPrefix)),
                                    name.size() - int(std::strlen(kPrefix)) - int(std::strlen(kSuffix)));
    const QString number = middle.section(QLatin1Char('-'), 0, 0);
    const QString kept = middle.section(QLatin1Char('-'), 1);
    bool ok = false, keptOk = kept.isEmpty();
    const int port = number.toInt(&ok);
    if (!kept.isEmpty())
        keptOk = QString::number(kept.toInt(&keptOk)) == kept && keptOk;
    return ok && keptOk && QString::number(port) == number ? port : 0;
}

constexpr const char *kDamagedSuffix = ".damaged";
constexpr const char *kLinkSuffix = ".link";

QString linkWhy(const QString &target)
{
    return QStringLiteral("it is a symbolic link to %1, which is never written through")
        .arg(displayFileName(target));
}

// A link standing at path is renamed aside (NAME.link), never followed;
// nullopt when none stands there.
std::optional<DamagedRecord> setAsideLink(const QString &path)
{
    const std::optional<QString> target = linkTarget(path);
    if (!target)
        return std::nullopt;
    return DamagedRecord{path, linkWhy(*target), renameAside(path, QLatin1String(kLinkSuffix))};
}

} // namespace

bool sameUpdate(const UnfinishedUpdate &a, const UnfinishedUpdate &b)
{
    const bool fileNotChosen = (a.file.isEmpty() || b.file.isEmpty()) && a.device == b.device;
    return a.model == b.model && a.barCode == b.barCode && (a.sha256 == b.sha256 || fileNotChosen);
}

QString damagedRecordText(const DamagedRecord &damaged)
{
    const QString what =
        QStringLiteral("The record of an unfinished update %1 ").arg(displayFileName(damaged.path));
    if (damaged.movedTo.isEmpty())
        return what + QStringLiteral("is not used: %1; it could not be moved aside and stays where it is.")
                          .arg(damaged.why);
    return what + QStringLiteral("is damaged and not used: %1. It was moved to %2.")
                      .arg(damaged.why, displayFileName(damaged.movedTo));
}

QString forgetHint(const std::vector<int> &ports)
{
    if (ports.empty())
        return {};
    if (ports.size() == 1)
        return QStringLiteral("A record of an unfinished update is kept for port %1; to drop it once its "
                              "scanner no longer needs it: romwright --console --forget %1")
            .arg(ports.front());
    QStringList numbers;
    for (const int port : ports)
        numbers << QString::number(port);
    const QString last = numbers.takeLast();
    return QStringLiteral("Records of unfinished updates are kept for ports %1 and %2; to drop one no longer "
                          "needed: romwright --console --forget PORT (or all)")
        .arg(numbers.join(QStringLiteral(", ")), last);
}

QString UnfinishedUpdate::sentence() const
{
    return QStringLiteral("An update of the %1 on %2 was interrupted on %3.")
        .arg(model.isEmpty() ? QStringLiteral("scanner") : model, portName(port),
             started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

QByteArray sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

RecordedFile checkRecordedFile(const UnfinishedUpdate &record, const FileSystem &files)
{
    if (record.file.isEmpty())
        return RecordedFile::Same; // the search chooses it, as it would have
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

bool UnfinishedUpdates::save(const UnfinishedUpdate &record, std::vector<DamagedRecord> *setAside) const
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return false;
    // A record of another scanner's update that stands in this port's file
    // (the scanners were swapped, and that one was set aside) is kept, under
    // a name of its own.
    const QString path = pathFor(record.port);
    UnfinishedUpdate kept = record;
    for (const Stored &old : stored()) {
        if (!old.record || old.record->port != record.port)
            continue;
        if (sameUpdate(*old.record, record)) {
            // Kept while another scanner was on the port: this record is it now.
            if (old.path != path)
                QFile::remove(old.path);
            else if (!record.boot)
                kept.boot = old.record->boot;
            continue;
        }
        if (old.path != path)
            continue;
        QString aside;
        for (int n = 2; aside.isEmpty() || QFileInfo::exists(aside); ++n)
            aside =
                joinPath(m_folder, QLatin1String(kPrefix) + QStringLiteral("%1-%2").arg(record.port).arg(n) +
                                       QLatin1String(kSuffix));
        if (!QFile::rename(path, aside))
            return false;
    }
    // Never written through a link in the record's place: it is set aside and said.
    if (const std::optional<DamagedRecord> link = setAsideLink(path); link && setAside)
        setAside->push_back(*link);
    // Written whole or not at all: a half record would be no way back.
    return replaceEntry(path, QJsonDocument(toJson(kept)).toJson(QJsonDocument::Compact) + '\n');
}

bool UnfinishedUpdates::remove(int port) const
{
    if (m_folder.isEmpty())
        return true;
    const QString path = pathFor(port);
    return QFile::remove(path) || !QFileInfo(path).exists();
}

std::vector<UnfinishedUpdates::Stored> UnfinishedUpdates::stored() const
{
    std::vector<Stored> files;
    if (m_folder.isEmpty())
        return files;
    // System: also a link that leads nowhere or to a device, set aside below.
    const QStringList names = QDir(m_folder).entryList(
        {QLatin1String(kPrefix) + QLatin1Char('*') + QLatin1String(kSuffix)}, QDir::Files | QDir::System);
    LocalFileSystem local;
    for (const QString &name : names) {
        Stored file{joinPath(m_folder, name), std::nullopt, {}, false};
        // A link is never read or written through, wherever it leads.
        if (const std::optional<QString> target = linkTarget(file.path)) {
            file.why = linkWhy(*target);
            files.push_back(std::move(file));
            continue;
        }
        const FileContents contents = local.read(file.path);
        if (contents.status == ReadStatus::NotFound || contents.status == ReadStatus::NotRegular)
            continue; // gone since the listing, or no file (a FIFO) that anything of ours made
        const QJsonDocument document = QJsonDocument::fromJson(contents.bytes);
        if (contents.status != ReadStatus::Ok) {
            file.unreadable = true;
            file.why = QStringLiteral("it cannot be read");
        } else if (!document.isObject()) {
            file.why = QStringLiteral("it is not a JSON object");
        } else if (const std::optional<UnfinishedUpdate> record = fromJson(document.object(), file.why)) {
            if (record->port == portOfName(name))
                file.record = record;
            else
                file.why = QStringLiteral("it names port %1 but stands in the file of port %2")
                               .arg(record->port)
                               .arg(portOfName(name));
        }
        files.push_back(std::move(file));
    }
    return files;
}

std::vector<UnfinishedUpdate> UnfinishedUpdates::all() const
{
    std::vector<UnfinishedUpdate> records;
    for (const Stored &file : stored())
        if (file.record)
            records.push_back(*file.record);
    std::sort(records.begin(), records.end(),
              [](const UnfinishedUpdate &a, const UnfinishedUpdate &b) { return a.started > b.started; });
    return records;
}

std::vector<DamagedRecord> UnfinishedUpdates::setAsideDamaged() const
{
    std::vector<DamagedRecord> damaged;
    for (const Stored &file : stored()) {
        if (file.record)
            continue;
        // An older one set aside keeps its name; a link is renamed, never followed.
        if (std::optional<DamagedRecord> link = setAsideLink(file.path))
            damaged.push_back(std::move(*link));
        else
            damaged.push_back(
                {file.path, file.why,
                 file.unreadable ? QString() : renameAside(file.path, QLatin1String(kDamagedSuffix))});
    }
    return damaged;
}

std::vector<int> UnfinishedUpdates::ports() const
{
    std::vector<int> ports;
    if (m_folder.isEmpty())
        return ports;
    for (const QString &name : QDir(m_folder).entryList(
             {QLatin1String(kPrefix) + QLatin1Char('*') + QLatin1String(kSuffix)}, QDir::Files))
        if (const int port = portOfName(name); port > 0)
            ports.push_back(port);
    std::sort(ports.begin(), ports.end());
    return ports;
}

} // namespace romwright
