#pragma once
// Loading of the two loader files (from the program folder, else the user's
// data folder) and of the chosen firmware file into the three images, with
// the block tables and the jump table built for the programming passes. It
// says how each read went; the front end tells the user.

#include "image/MemoryImage.h"
#include "image/ParseMotorolaSrecords.h"

#include <QString>
#include <QStringList>

namespace romwright {

class FileSystem;

inline constexpr const char *kRamLoaderFileName = "FlashProgrammer.sss";
inline constexpr const char *kBootloaderFileName = "bootloader.sss";

// How one file's read ended.
enum class FileCheck {
    NotRead, // an earlier file was missing, so this one was not tried
    Missing,
    Damaged, // any failure but a missing file; bytes before it stay in the image
    NoData,  // read cleanly but without a single data record
    Valid,
};

struct FileRead {
    FileCheck check = FileCheck::NotRead;
    QString path;                            // the file read
    int line = 0;                            // Damaged: the line of the failure (0 when it is no line's)
    QString reason;                          // Damaged: what is wrong with it
    SrecordError error = SrecordError::None; // Damaged: the reader's verdict
    QStringList searched{};                  // Missing loader: the folders looked in, in order
    QString home{};                          // Missing loader: where the user puts it
};

// The three reads in the order they are made; a Missing one is the last,
// except that a missing RAM loader comes with the bootloader Missing too
// when that is not in any folder either (looked for, not read).
struct FileOpenResult {
    FileRead ramLoader;
    FileRead bootloader;
    FileRead firmware;

    // Only then may anything be programmed.
    bool allValid() const
    {
        return ramLoader.check == FileCheck::Valid && bootloader.check == FileCheck::Valid &&
               firmware.check == FileCheck::Valid;
    }
};

// Where FileOpen reads from.
struct FileOpenContext {
    const FileSystem &files;
    QString programFolder;           // where the two loader files are looked for first
    QString userDataFolder{};        // then here; empty: nowhere else
    QStringList systemDataFolders{}; // then in each of these
};

// Reads the loaders and sFile into set, builds BootloaderBlocks and both
// firmware tables, relocates the vectors and records the verdict in
// set.FilesValid. Both tables, because the route follows the greeting of the
// update, which may differ from the start-up's: a Wexmoor's two processors
// can carry different boot software. A missing file stops it at once;
// set.FilesValid is true only when all three held valid data.
FileOpenResult FileOpen(const QString &sFile, FirmwareSet &set, const FileOpenContext &context);

// The name after the last '/' or '\' (a folder's path may end in one), as
// it is shown to the user.
QString fileNameOf(const QString &path);

} // namespace romwright
