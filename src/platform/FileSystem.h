#pragma once
// The file system as the program uses it: existence tests, the one-path
// listing of the start-up search, and whole-file reads.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QFile;

namespace romwright {

enum class ReadStatus {
    Ok,
    NotFound,
    Unreadable,       // any other failure of the read
    Folder,           // a folder stands there
    NotRegular,       // a FIFO, a device, a socket: nothing to read whole
    PermissionDenied, // the user may not read it
    TooLarge,         // larger than any file the program reads can be (kLargestFileRead)
};

// The largest file the program reads. The largest sound firmware file
// carries a whole 64 KB image in S3 records of one data byte each: "S3", two
// count digits, eight address digits, two data digits, two checksum digits
// and CR LF make 18 characters a record, so 65,536 records are 1,179,648
// bytes, and a header and an end record add less than 600. 16 MiB leaves a
// margin of more than thirteen times that for blank lines, text between the
// records and long headers, and still cannot exhaust any machine's memory.
inline constexpr qint64 kLargestFileRead = qint64(16) * 1024 * 1024;

struct FileContents {
    ReadStatus status = ReadStatus::NotFound;
    QByteArray bytes;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True only for an existing file; false for a folder or nothing.
    virtual bool fileExists(const QString &path) const = 0;

    // The listing of one path: the file's name when a file stands there,
    // else an empty text.
    virtual QString listing(const QString &path) const = 0;

    // The whole file, read at once and closed; a file larger than
    // kLargestFileRead is refused before any of it is read.
    virtual FileContents read(const QString &path) const = 0;
};

// The rest of an open file, judged by size (the system's word for it) before
// a byte is read and read no further than kLargestFileRead, in case it grows
// meanwhile. What LocalFileSystem::read does once the file is open.
FileContents readOpenFile(QFile &file, qint64 size);

class LocalFileSystem final : public FileSystem {
public:
    bool fileExists(const QString &path) const override;
    QString listing(const QString &path) const override;
    FileContents read(const QString &path) const override;
};

// File names as the system spells them. On Linux a name is a string of
// bytes, not always UTF-8 (a file copied from an old disk may be called
// "caf\xe9.s19"); Qt's own decoding turns such bytes into U+FFFD and the name
// no longer opens. decodeFileName() keeps each byte that is not part of a
// UTF-8 sequence as U+DC80 + byte, and encodeFileName() gives it back, so a
// name read from the command line opens the file it named.
QString decodeFileName(const QByteArray &name);
QByteArray encodeFileName(const QString &name);

// The name as a person is shown it: each kept byte as U+FFFD; on Windows
// with the system's separator (C:\fw\x.s19, not C:/fw/x.s19).
QString displayFileName(const QString &name);

// The command line after the program's name, decoded as file names.
QStringList commandLineArguments(int argc, const char *const *argv);

// Creates or replaces the file at path with bytes; false on any failure.
// The bytes are written to a new file in the same folder that then takes
// the name, so a failure (a full disk) leaves no part of them at path.
// Through a link the file it leads to is replaced; a device, a FIFO or a
// folder is never written into (false).
bool writeWholeFile(const QString &path, const QByteArray &bytes);

// As writeWholeFile, for what the program keeps between runs: the entry at
// path itself is replaced, never written through, so a link standing there
// is replaced and what it leads to is left as it was.
bool replaceEntry(const QString &path, const QByteArray &bytes);

// Where the link standing at path itself leads (on Windows a symbolic link
// or a junction); nullopt when no link stands there.
std::optional<QString> linkTarget(const QString &path);

// Renames the entry at path itself (a link, not what it leads to) to
// path + suffix, or to path + suffix + "-2", "-3", ... when that name is
// taken. The new path; empty when it could not be renamed.
QString renameAside(const QString &path, const QString &suffix);

// What a write to path would write into, links followed. Only a File or a
// New file in an existing folder is written; a serial device, a FIFO that
// waits for a reader or a folder never is.
enum class OutputTarget {
    File,     // an existing regular file
    New,      // nothing yet; its folder is there (or cannot be told: the write says)
    NoFolder, // nothing, and no folder to make it in
    Folder,
    Device, // a terminal, a disk, /dev/null; on Windows a device name (NUL, COM3, \\.\COM3)
    Fifo,
    Socket,
    Other,
};
OutputTarget outputTarget(const QString &path);

// path opened for writing from its start, made when nothing stands there;
// anything but a regular file is never opened (opening a serial device can
// wake the scanner behind it, a FIFO waits for a reader). nullptr with the
// reason in error when it cannot be.
std::unique_ptr<QFile> openOutputFile(const QString &path, QString *error);

// True when both paths lead to the same existing file (also through links),
// or to the same device under two names.
bool sameFile(const QString &a, const QString &b);

// The path as the system finds it: absolute, links followed, "." and ".."
// gone. For a path where nothing stands yet, its folder's canonical path
// and its name; a link that leads nowhere yet gives where it leads.
QString canonicalPath(const QString &path);

// How the system compares names: blind to case on Windows.
#ifdef Q_OS_WIN
inline constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseInsensitive;
#else
inline constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;
#endif

// The folder of the running executable, without a trailing separator.
QString programFolder();

// The user's own folder for firmware and loader files, which the program
// looks in after its own folder: $XDG_DATA_HOME/romwright, usually
// ~/.local/share/romwright. A user can write there without installing
// anything; the program folder belongs to the package. A relative
// XDG_DATA_HOME is ignored; without HOME the home folder comes from the
// password database. Empty when there is no home folder at all.
QString userDataFolder();

// The user's folder for what the program keeps between runs (the record of
// an unfinished update), by the same rules: $XDG_STATE_HOME/romwright,
// usually ~/.local/state/romwright.
QString userStateFolder();

// The folder of all users' settings files, by the same rules:
// $XDG_CONFIG_HOME, usually ~/.config. Empty without a home folder.
QString userConfigHome();

// folder + separator + name, as the program forms every path it opens.
QString joinPath(const QString &folder, const QString &name);

// The path of name in the first of folders that holds it as a file; empty
// when none does. Empty folders are skipped, never read as the current one.
QString findInFolders(const FileSystem &files, const QStringList &folders, const QString &name);

// The machine's folders for firmware and loader files, looked in after the
// user's own: each absolute entry of dataDirs (the text of $XDG_DATA_DIRS,
// "/usr/local/share/:/usr/share/" when empty) followed by "romwright", in
// order, each once. Relative entries are left out: they would name a folder
// below wherever the program was started. Empty on Windows, where the
// program folder serves every user.
QStringList systemDataFolders(const QString &dataDirs);
QStringList systemDataFolders(); // from the environment

// How the help texts name the folders above on this system: where firmware
// is looked for after the program folder (continuation lines indented to
// the option texts' column), and the update log in the state folder.
QString userFoldersHelp();
QString updateLogHelp();
QString portDeviceHelp(); // how a port's device is named, by example

} // namespace romwright
