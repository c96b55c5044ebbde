#include "platform/FileSystem.h"

// What every system shares; PosixFileSystem.cpp and WindowsFileSystem.cpp
// hold the rest.

#include <QCoreApplication>
#include <QFile>

namespace romwright {

QString programFolder()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
}

FileContents readOpenFile(QFile &file, qint64 size)
{
    FileContents result;
    if (size > kLargestFileRead) {
        result.status = ReadStatus::TooLarge;
        return result;
    }
    result.bytes.reserve(size);
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0) {
            result.status = ReadStatus::Unreadable;
            break;
        }
        if (got == 0) {
            result.status = ReadStatus::Ok;
            break;
        }
        result.bytes.append(chunk, got);
        if (result.bytes.size() > kLargestFileRead) {
            result.status = ReadStatus::TooLarge;
            break;
        }
    }
    if (result.status != ReadStatus::Ok)
        result.bytes = QByteArray();
    return result;
}

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
#ifdef Q_OS_WIN
    // The folder's own kind of separator, never half of each: C:\Users\u\Local\Romwright.
    if (folder.contains(QLatin1Char('\\')) && !folder.contains(QLatin1Char('/')))
        return folder + QLatin1Char('\\') + name;
#endif
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
