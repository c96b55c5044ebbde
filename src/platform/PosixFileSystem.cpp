#include "platform/FileSystem.h"

// The file system on POSIX systems: names as bytes, files read through their
// descriptors, the XDG folders.

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace romwright {

namespace {

// One UTF-8 sequence at text[i]: its length, or 0 when the bytes there are
// not one (overlong forms, surrogates and values past U+10FFFF included).
int utf8SequenceAt(const QByteArray &text, qsizetype i)
{
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    int length = 0;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u)
            return 0;
        value = (value << 6) | (byte(i + k) & 0x3Fu);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    return overlong || surrogate || value > 0x10FFFF ? 0 : length;
}

constexpr char16_t kKeptByteBase = 0xDC00;

bool isKeptByte(QChar c, QChar before)
{
    return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF && !before.isHighSurrogate();
}

} // namespace

QString decodeFileName(const QByteArray &name)
{
    QString result;
    qsizetype runStart = 0;
    qsizetype i = 0;
    while (i < name.size()) {
        const int length = utf8SequenceAt(name, i);
        if (length > 0) {
            i += length;
            continue;
        }
        result += QString::fromUtf8(name.constData() + runStart, i - runStart);
        result += QChar(static_cast<char16_t>(kKeptByteBase + static_cast<unsigned char>(name[i])));
        runStart = ++i;
    }
    result += QString::fromUtf8(name.constData() + runStart, name.size() - runStart);
    return result;
}

QByteArray encodeFileName(const QString &name)
{
    QByteArray result;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isKeptByte(name[i], i > 0 ? name[i - 1] : QChar()))
            continue;
        result += QStringView(name).sliced(runStart, i - runStart).toUtf8();
        result += static_cast<char>(name[i].unicode() - kKeptByteBase);
        runStart = i + 1;
    }
    result += QStringView(name).sliced(runStart).toUtf8();
    return result;
}

QString displayFileName(const QString &name)
{
    QString result = name;
    for (qsizetype i = 0; i < result.size(); ++i) {
        if (isKeptByte(result[i], i > 0 ? name[i - 1] : QChar()))
            result[i] = QChar::ReplacementCharacter;
    }
    return result;
}

bool LocalFileSystem::fileExists(const QString &path) const
{
    struct stat info {};
    return ::stat(encodeFileName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

QString LocalFileSystem::listing(const QString &path) const
{
    return fileExists(path) ? path.mid(path.lastIndexOf(QLatin1Char('/')) + 1) : QString();
}

namespace {

ReadStatus statusOf(int error)
{
    if (error == ENOENT || error == ENOTDIR)
        return ReadStatus::NotFound;
    return error == EACCES ? ReadStatus::PermissionDenied : ReadStatus::Unreadable;
}

ReadStatus kindOf(const struct stat &info)
{
    if (S_ISDIR(info.st_mode))
        return ReadStatus::Folder;
    return S_ISREG(info.st_mode) ? ReadStatus::Ok : ReadStatus::NotRegular;
}

} // namespace

FileContents LocalFileSystem::read(const QString &path) const
{
    FileContents result;
    const QByteArray name = encodeFileName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        result.status = statusOf(errno);
        return result;
    }
    // Only a regular file is opened: opening a FIFO waits for a writer, and
    // opening a serial device may wake whatever hangs on it. O_NONBLOCK and
    // the second look cover a file swapped for a FIFO in between.
    if ((result.status = kindOf(info)) != ReadStatus::Ok)
        return result;
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.status = statusOf(errno);
        return result;
    }
    QFile file;
    if (::fstat(fd, &info) != 0 || (result.status = kindOf(info)) != ReadStatus::Ok ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (result.status == ReadStatus::Ok)
            result.status = ReadStatus::Unreadable;
        return result;
    }
    return readOpenFile(file, qint64(info.st_size));
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat first {};
    struct stat second {};
    if (::stat(encodeFileName(a).constData(), &first) != 0 ||
        ::stat(encodeFileName(b).constData(), &second) != 0)
        return false;
    if (first.st_dev == second.st_dev && first.st_ino == second.st_ino)
        return true;
    // Two nodes of one device (a copy made with mknod, a container's /dev).
    const bool device = S_ISCHR(first.st_mode) || S_ISBLK(first.st_mode);
    return device && (first.st_mode & S_IFMT) == (second.st_mode & S_IFMT) && first.st_rdev == second.st_rdev;
}

QString canonicalPath(const QString &path)
{
    const QByteArray name = encodeFileName(path.isEmpty() ? QStringLiteral(".") : path);
    if (char *real = ::realpath(name.constData(), nullptr)) {
        const QString result = decodeFileName(QByteArray(real));
        ::free(real);
        return result;
    }
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : name.left(slash);
    const QByteArray base = name.mid(slash + 1);
    // A link that leads nowhere yet: a write through it makes its target.
    char target[4096];
    const ssize_t length = ::readlink(name.constData(), target, sizeof target - 1);
    if (length > 0) {
        const QByteArray to(target, length);
        static thread_local int depth = 0; // a loop of links ends somewhere
        if (depth < 16) {
            ++depth;
            const QString result = canonicalPath(decodeFileName(to.startsWith('/') ? to : folder + '/' + to));
            --depth;
            return result;
        }
    }
    if (base.isEmpty() || base == "." || base == "..")
        return QDir::cleanPath(QDir::current().absoluteFilePath(path));
    return joinPath(canonicalPath(decodeFileName(folder)), decodeFileName(base));
}

namespace {

// All of bytes to fd, then closes it; false on any failure.
bool writeAndClose(int fd, const QByteArray &bytes, bool sync)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    bool ok = true;
    while (ok && left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<std::size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        ok = written > 0;
        data += ok ? written : 0;
        left -= ok ? written : 0;
    }
    ok = ok && (!sync || ::fsync(fd) == 0);
    return ::close(fd) == 0 && ok;
}

} // namespace

namespace {

// The bytes go to a new file beside target, which then takes its name at
// once: a full disk or a crash leaves the old entry or none, never a part of
// the new one. rename() replaces the name itself, whatever stands there.
bool writeThroughNewFile(const QByteArray &target, const QByteArray &bytes)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray temporary =
            target + ".part-" + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        const int fd =
            ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return false;
        if (writeAndClose(fd, bytes, true) && ::rename(temporary.constData(), target.constData()) == 0)
            return true;
        ::unlink(temporary.constData());
        return false;
    }
    return false;
}

} // namespace

bool writeWholeFile(const QString &path, const QByteArray &bytes)
{
    QByteArray target = encodeFileName(path);
    struct stat info {};
    if (::stat(target.constData(), &info) == 0) {
        // A device, a FIFO or a folder is never written into.
        if (!S_ISREG(info.st_mode))
            return false;
        // Through a link, the file it leads to is replaced, not the link.
        if (char *real = ::realpath(target.constData(), nullptr)) {
            target = real;
            ::free(real);
        }
    }
    return writeThroughNewFile(target, bytes);
}

bool replaceEntry(const QString &path, const QByteArray &bytes)
{
    return writeThroughNewFile(encodeFileName(path), bytes);
}

std::optional<QString> linkTarget(const QString &path)
{
    const QByteArray name = encodeFileName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return std::nullopt;
    char target[4096];
    const ssize_t length = ::readlink(name.constData(), target, sizeof target);
    return length > 0 ? decodeFileName(QByteArray(target, length)) : QString();
}

QString renameAside(const QString &path, const QString &suffix)
{
    const QByteArray from = encodeFileName(path);
    struct stat info {};
    for (int n = 1; n < 1000; ++n) {
        const QString aside = path + suffix + (n == 1 ? QString() : QStringLiteral("-%1").arg(n));
        const QByteArray to = encodeFileName(aside);
        // Taken by anything, a link that leads nowhere included.
        if (::lstat(to.constData(), &info) == 0)
            continue;
        return errno == ENOENT && ::rename(from.constData(), to.constData()) == 0 ? aside : QString();
    }
    return QString();
}

OutputTarget outputTarget(const QString &path)
{
    const QByteArray name = encodeFileName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0) {
        if (S_ISREG(info.st_mode))
            return OutputTarget::File;
        if (S_ISDIR(info.st_mode))
            return OutputTarget::Folder;
        if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
            return OutputTarget::Device;
        if (S_ISFIFO(info.st_mode))
            return OutputTarget::Fifo;
        return S_ISSOCK(info.st_mode) ? OutputTarget::Socket : OutputTarget::Other;
    }
    if (errno == ENOTDIR)
        return OutputTarget::NoFolder;
    if (errno != ENOENT)
        return OutputTarget::New; // not to be told here (a folder the user may not search): the write says
    // Nothing there, or a link that leads nowhere yet: the file is made where it leads.
    const QString where = canonicalPath(path);
    const QByteArray folder =
        encodeFileName(where.left(std::max<qsizetype>(where.lastIndexOf(QLatin1Char('/')), 1)));
    return ::stat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode) ? OutputTarget::New
                                                                           : OutputTarget::NoFolder;
}

std::unique_ptr<QFile> openOutputFile(const QString &path, QString *error)
{
    const QByteArray name = encodeFileName(path);
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return nullptr;
    };
    // Not opened unless it is a file or nothing: opening a serial device can
    // wake whatever hangs on it, a FIFO waits for a reader.
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return fail(QStringLiteral("it is not a regular file"));
    // O_NONBLOCK and the second look cover a file swapped for a FIFO or a
    // device in between; nothing is cut short before that look.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("it is not a regular file"));
    }
    if (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        const int cause = errno;
        ::close(fd);
        return fail(QString::fromLocal8Bit(std::strerror(cause)));
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file->errorString());
    }
    return file;
}

QStringList commandLineArguments(int argc, const char *const *argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << decodeFileName(QByteArray(argv[i]));
    return arguments;
}

namespace {

// $HOME, or the password database's entry when HOME is unset or not a
// full path: a folder at "/" + ".local/..." would belong to nobody.
QString homeFolder()
{
    const QByteArray home = qgetenv("HOME");
    if (home.startsWith('/'))
        return decodeFileName(home);
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || found->pw_dir[0] != '/')
        return QString();
    return decodeFileName(QByteArray(found->pw_dir));
}

// $variable when it holds a full path (a relative one is ignored, as the
// XDG rules say), else home/fallback; empty without a home.
QString xdgHome(const char *variable, const char *fallback)
{
    const QByteArray value = qgetenv(variable);
    if (value.startsWith('/'))
        return decodeFileName(value);
    const QString home = homeFolder();
    return home.isEmpty() ? QString() : joinPath(home, QString::fromLatin1(fallback));
}

QString ourFolderIn(const QString &base)
{
    return base.isEmpty() ? QString() : joinPath(base, QStringLiteral("romwright"));
}

} // namespace

QString userDataFolder()
{
    return ourFolderIn(xdgHome("XDG_DATA_HOME", ".local/share"));
}

QString userStateFolder()
{
    return ourFolderIn(xdgHome("XDG_STATE_HOME", ".local/state"));
}

QString userConfigHome()
{
    return xdgHome("XDG_CONFIG_HOME", ".config");
}

QStringList systemDataFolders(const QString &dataDirs)
{
    const QString dirs = dataDirs.isEmpty() ? QStringLiteral("/usr/local/share/:/usr/share/") : dataDirs;
    QStringList folders;
    for (const QString &dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString folder = joinPath(dir, QStringLiteral("romwright"));
        if (dir.startsWith(QLatin1Char('/')) && !folders.contains(folder))
            folders << folder;
    }
    return folders;
}

QString userFoldersHelp()
{
    return QStringLiteral("~/.local/share/romwright ($XDG_DATA_HOME/romwright), then in\n"
                          "                     /usr/local/share/romwright and /usr/share/romwright");
}

QString portDeviceHelp()
{
    return QStringLiteral("/dev/ttyUSB0, /dev/serial/by-id/...");
}

QString updateLogHelp()
{
    return QStringLiteral("~/.local/state/romwright/updates.jsonl ($XDG_STATE_HOME/romwright)");
}

} // namespace romwright
