#include "platform/FileSystem.h"

// The file system on Windows: names are UTF-16 already, so Qt's own handling
// is exact; the user's folders are under the local application data.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace romwright {

QString decodeFileName(const QByteArray &name)
{
    return QFile::decodeName(name);
}

QByteArray encodeFileName(const QString &name)
{
    return QFile::encodeName(name);
}

QString displayFileName(const QString &name)
{
    // Qt's "/" inside a path is shown as the system writes it.
    return QDir::toNativeSeparators(name);
}

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
    if (!info.isFile()) {
        result.status = info.isDir() ? ReadStatus::Folder : ReadStatus::NotRegular;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = file.error() == QFileDevice::PermissionsError ? ReadStatus::PermissionDenied
                                                                      : ReadStatus::Unreadable;
        return result;
    }
    return readOpenFile(file, file.size());
}

QString canonicalPath(const QString &path)
{
    const QFileInfo info(path.isEmpty() ? QStringLiteral(".") : path);
    const QString real = info.canonicalFilePath();
    if (!real.isEmpty())
        return QDir::toNativeSeparators(real);
    const QString name = info.fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
    return QDir::toNativeSeparators(joinPath(canonicalPath(info.absolutePath()), name));
}

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    return first.exists() && second.exists() && first == second;
}

bool writeWholeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QStringList commandLineArguments(int argc, const char *const *argv)
{
    // The bytes of argv are in the ANSI code page; Qt reads the real command line.
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    return arguments;
}

namespace {

// %LOCALAPPDATA%\Romwright: firmware files a user adds and what the program
// keeps between runs, both for this user on this machine only.
QString localAppDataFolder()
{
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (!local.isEmpty())
        return joinPath(local, QStringLiteral("Romwright"));
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : joinPath(data, QStringLiteral("Romwright"));
}

} // namespace

QString userDataFolder()
{
    return localAppDataFolder();
}

QString userStateFolder()
{
    return localAppDataFolder();
}

QString userConfigHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

// The program folder serves every user of the machine.
QStringList systemDataFolders(const QString &)
{
    return {};
}

QString userFoldersHelp()
{
    return QStringLiteral("%LOCALAPPDATA%\\Romwright");
}

QString portDeviceHelp()
{
    return QStringLiteral("COM3");
}

QString updateLogHelp()
{
    return QStringLiteral("%LOCALAPPDATA%\\Romwright\\updates.jsonl");
}

} // namespace romwright
