#include "platform/FileSystem.h"

// What every system shares; PosixFileSystem.cpp and WindowsFileSystem.cpp
// hold the rest.

#include <QCoreApplication>

namespace romwright {

QString programFolder()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
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

QStringList systemDataFolders()
{
    return systemDataFolders(qEnvironmentVariable("XDG_DATA_DIRS"));
}

} // namespace romwright
