#include "app/window/AboutSysInfo.h"

#include "platform/Dialogs.h"
#include "platform/FileSystem.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace romwright {
namespace {

const QString kUnavailable = QString::fromLatin1(kSysInfoUnavailable);

bool startDetached(const QString &program)
{
    return QProcess::startDetached(program, {});
}

} // namespace

bool GetKeyValue(const Registry &registry, RegistryRoot keyRoot, const QString &keyName,
                 const QString &subKeyRef, QString &keyVal)
{
    const std::optional<QVariant> value = registry.value(keyRoot, keyName, subKeyRef);
    if (!value) {
        keyVal.clear();
        return false;
    }
    switch (value->typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        QString text = value->toString();
        if (text.endsWith(QChar(0)))
            text.chop(1);
        keyVal = text;
        break;
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        // The number in full, most significant byte first.
        keyVal = QStringLiteral("&h") +
                 QStringLiteral("%1")
                     .arg(static_cast<quint32>(value->toLongLong()), 8, 16, QLatin1Char('0'))
                     .toUpper();
        break;
    default:
        break;
    }
    return true;
}

void StartSysInfo(const Registry &registry, Dialogs &dialogs, const SysInfoTools &tools)
{
    const auto start = tools.start ? tools.start : startDetached;
    const QString key = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    const QString locationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

    QString path;
    QString value;
    if (GetKeyValue(registry, RegistryRoot::LocalMachine, key, QStringLiteral("PATH"), value)) {
        path = value;
    } else if (GetKeyValue(registry, RegistryRoot::LocalMachine, locationKey, QStringLiteral("MSINFO"),
                           value)) {
        const QString candidate = joinPath(value, QStringLiteral("MSINFO32.EXE"));
        if (QFileInfo(candidate).isFile())
            path = candidate;
    }
    if (path.isEmpty()) {
        for (const QString &tool : tools.candidates) {
            path = QStandardPaths::findExecutable(tool);
            if (!path.isEmpty())
                break;
        }
    }
    if (path.isEmpty() || !start(path))
        dialogs.message(kUnavailable, QString(), MessageIcon::None);
}

} // namespace romwright
