#pragma once
// Loading of the two loader files (from the program folder, else the user's
// data folder) and of the chosen
// firmware file into the three images, with the block tables and the jump
// table built for the programming passes. The file lamp and the PROGRAM
// button tell the user whether all three files can be used.

#include "image/MemoryImage.h"
#include "image/ParseMotorolaSrecords.h"

#include <QString>

namespace romwright {

class Dialogs;
class FileSystem;
class MainView;

inline constexpr const char *kRamLoaderFileName = "FlashProgrammer.sss";
inline constexpr const char *kBootloaderFileName = "bootloader.sss";

inline constexpr const char *kMissingFileMessage =
    "One of the files necessary to update your firmware was not found. "
    "Please reinstall the Romwright to fix this problem.";

// What a file that cannot be used is said to be; %1 is the file's name.
inline constexpr const char *kDamagedFileMessage = "The file %1 is damaged and cannot be used (line %2: %3).";
inline constexpr const char *kFolderMessage = "The file %1 is a folder and cannot be used.";
inline constexpr const char *kNotRegularFileMessage = "The file %1 is not a regular file and cannot be used.";
inline constexpr const char *kPermissionDeniedMessage = "The file %1 cannot be read: permission denied.";
inline constexpr const char *kNoRecordsMessage = "The file %1 holds no firmware records.";

// How one file's read ended.
enum class FileCheck {
    NotRead, // an earlier file was missing, so this one was not tried
    Missing,
    Damaged, // any failure but a missing file; bytes before it stay in the image
    NoData,  // read cleanly but without a single data record
    Valid,
};

struct FileOpenResult {
    FileCheck ramLoader = FileCheck::NotRead;
    FileCheck bootloader = FileCheck::NotRead;
    FileCheck firmware = FileCheck::NotRead;

    // Only then may anything be programmed.
    bool allValid() const
    {
        return ramLoader == FileCheck::Valid && bootloader == FileCheck::Valid &&
               firmware == FileCheck::Valid;
    }
    friend bool operator==(const FileOpenResult &, const FileOpenResult &) = default;
};

// What FileOpen reads from and shows on.
struct FileOpenContext {
    const FileSystem &files;
    MainView &view;
    Dialogs &dialogs;
    QString programFolder;    // where the two loader files are looked for first
    QString userDataFolder{}; // then here; empty: nowhere else
};

// Reads the loaders and sFile into set, builds BootloaderBlocks and both
// firmware tables, relocates the vectors and records the verdict in
// set.FilesValid. Both tables, because the route follows the greeting of the
// update, which may differ from the start-up's: a Wexmoor's two processors
// can carry different boot software. PROGRAM ends enabled and the file lamp
// green only when all three files held valid data. A missing file shows
// kMissingFileMessage and stops at once; a file that cannot be used shows
// damagedFileMessage, one without a data record noRecordsMessage.
FileOpenResult FileOpen(const QString &sFile, FirmwareSet &set, const FileOpenContext &context);

// Why the read of path failed, in a sentence: a folder, not a regular file,
// permission denied, else "The file NAME is damaged and cannot be used
// (line N: REASON)."
QString damagedFileMessage(const QString &path, const SrecordResult &result);

// "The file NAME holds no firmware records."
QString noRecordsMessage(const QString &path);

// The name after the last '/' or '\' (a folder's path may end in one), as
// it is shown to the user.
QString fileNameOf(const QString &path);

} // namespace romwright
