#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace romwright {

bool LocalFileSystem::fileExists(const QString &path) const
{
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

QString LocalFileSystem::listing(const QString &path) const
{
    return fileExists(path) ? QFileInfo(path).fileName() : QString();
}

FileContents LocalFileSystem::read(const QString &path) const
{
    FileContents result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.status = ReadStatus::NotFound;
        return result;
    }
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        result.status = ReadStatus::Unreadable;
        return result;
    }
    result.bytes = file.readAll();
    result.status = file.error() == QFileDevice::NoError ? ReadStatus::Ok : ReadStatus::Unreadable;
    return result;
}

QString programFolder()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
}

QString userDataFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : joinPath(data, QStringLiteral("romwright"));
}

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString findInFolders(const FileSystem &files, const QStringList &folders, const QString &name)
{
    for (const QString &folder : folders) {
        if (folder.isEmpty())
            continue;
        const QString path = joinPath(folder, name);
        if (files.fileExists(path))
            return path;
    }
    return QString();
}

} // namespace romwright
