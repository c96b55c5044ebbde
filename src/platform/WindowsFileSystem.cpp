#include "platform/FileSystem.h"

#include "platform/PortMap.h"

// The file system on Windows: names are UTF-16 already, so Qt's own handling
// is exact; the user's folders are under the local application data.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <string>

#include <windows.h>

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

namespace {

std::wstring nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// A name the system takes for a device wherever it stands: anything in the
// device namespace (\\.\COM3, \\.\pipe\x), a port's COM name, and in any
// folder CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0 to COM9 and LPT0 to LPT9,
// also with an extension or a colon after them ("nul.txt", "COM3:").
bool namesDevice(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (native.startsWith(QLatin1String("\\\\.\\")) ||
        native.startsWith(QLatin1String("\\\\?\\GLOBALROOT"), Qt::CaseInsensitive) ||
        PortMap::comPortNumber(native) != 0)
        return true;
    QString name = native.mid(native.lastIndexOf(QLatin1Char('\\')) + 1);
    if (name.size() >= 2 && name.at(1) == QLatin1Char(':'))
        name = name.mid(2); // C:NUL
    name = name.section(QLatin1Char('.'), 0, 0).section(QLatin1Char(':'), 0, 0).trimmed();
    static const QRegularExpression reserved(
        QStringLiteral("^(CON|PRN|AUX|NUL|CONIN\\$|CONOUT\\$|(COM|LPT)[0-9\\x{00B9}\\x{00B2}\\x{00B3}])$"),
        QRegularExpression::CaseInsensitiveOption);
    return reserved.match(name).hasMatch();
}

bool entryExists(const std::wstring &name)
{
    return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

bool sameFile(const QString &a, const QString &b)
{
    // A device name is never looked up as a file.
    if (namesDevice(a) || namesDevice(b))
        return false;
    const QFileInfo first(a);
    const QFileInfo second(b);
    return first.exists() && second.exists() && first == second;
}

std::optional<QString> linkTarget(const QString &path)
{
    // The attributes of the entry itself: a reparse point is not followed here.
    const std::wstring name = nativeName(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return std::nullopt;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(name.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return std::nullopt;
    FindClose(search);
    // Other reparse points (a cloud file, a deduplicated one) are files where they stand.
    if (found.dwReserved0 != IO_REPARSE_TAG_SYMLINK && found.dwReserved0 != IO_REPARSE_TAG_MOUNT_POINT)
        return std::nullopt;
    return QDir::toNativeSeparators(QFileInfo(path).symLinkTarget());
}

QString renameAside(const QString &path, const QString &suffix)
{
    const std::wstring from = nativeName(path);
    for (int n = 1; n < 1000; ++n) {
        const QString aside = path + suffix + (n == 1 ? QString() : QStringLiteral("-%1").arg(n));
        const std::wstring to = nativeName(aside);
        if (entryExists(to))
            continue;
        // Without MOVEFILE_REPLACE_EXISTING: never over another entry. A link is renamed, not followed.
        return MoveFileExW(from.c_str(), to.c_str(), 0) ? aside : QString();
    }
    return QString();
}

OutputTarget outputTarget(const QString &path)
{
    if (namesDevice(path))
        return OutputTarget::Device;
    QFileInfo info(path);
    if (const std::optional<QString> link = linkTarget(path)) {
        // Judged by where it leads; one that leads nowhere yet makes its target.
        const QString target = info.canonicalFilePath();
        if (namesDevice(*link) || (!target.isEmpty() && namesDevice(target)))
            return OutputTarget::Device;
        if (target.isEmpty() && link->isEmpty())
            return OutputTarget::Other; // it leads where the system does not say
        info = QFileInfo(!target.isEmpty() ? target : QDir(info.absolutePath()).absoluteFilePath(*link));
    }
    if (!info.exists())
        return QFileInfo(info.absolutePath()).isDir() ? OutputTarget::New : OutputTarget::NoFolder;
    if (info.isDir())
        return OutputTarget::Folder;
    return info.isFile() ? OutputTarget::File : OutputTarget::Other;
}

std::unique_ptr<QFile> openOutputFile(const QString &path, QString *error)
{
    const OutputTarget target = outputTarget(path);
    if (target != OutputTarget::File && target != OutputTarget::New) {
        if (error)
            *error = QStringLiteral("it is not a regular file");
        return nullptr;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = file->errorString();
        return nullptr;
    }
    return file;
}

bool writeWholeFile(const QString &path, const QByteArray &bytes)
{
    // A device or a folder is never written into.
    const OutputTarget target = outputTarget(path);
    if (target != OutputTarget::File && target != OutputTarget::New)
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

bool replaceEntry(const QString &path, const QByteArray &bytes)
{
    // A new file beside the entry, which then takes its name: the entry
    // itself is replaced, a link standing there included, never followed.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString temporary =
            path + QStringLiteral(".part-%1").arg(QRandomGenerator::global()->generate(), 0, 16);
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.exists())
                continue;
            return false;
        }
        const bool written = file.write(bytes) == bytes.size() && file.flush();
        file.close();
        if (written && file.error() == QFileDevice::NoError &&
            MoveFileExW(nativeName(temporary).c_str(), nativeName(path).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        QFile::remove(temporary);
        return false;
    }
    return false;
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
