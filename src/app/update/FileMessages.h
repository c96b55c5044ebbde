#pragma once
// What the user is told about the files FileOpen reads, and the showing of it
// on the window's file lamp, PROGRAM and in message boxes.

#include "image/FileOpen.h"

#include <QString>

namespace romwright {

class Dialogs;
class MainView;

// A missing file is named with the folders it was looked for in: the
// loaders come from the scanner's maker, never with the program, so a
// reinstall would not bring them back. %1 the file's name, %2 the folders,
// %3 where the user puts it.
inline constexpr const char *kMissingLoaderMessage =
    "The loader file %1 was not found. Romwright looked for it in: %2. The loader files come from the "
    "scanner's maker with the firmware: put %1 in %3 and try again.";
// Both loaders missing: one message, so that mending the first does not
// meet a second. %1 and %2 the files' names, %3 the folders, %4 where they go.
inline constexpr const char *kMissingLoadersMessage =
    "The loader files %1 and %2 were not found. Romwright looked for them in: %3. The loader files come "
    "from the scanner's maker with the firmware: put %1 and %2 in %4 and try again.";
inline constexpr const char *kMissingFirmwareMessage =
    "The firmware file %1 was not found in %2. Put it back there or choose another firmware file, and "
    "try again.";

// What a file that cannot be used is said to be; %1 is the file's name.
inline constexpr const char *kDamagedFileMessage = "The file %1 is damaged and cannot be used (line %2: %3).";
inline constexpr const char *kFolderMessage = "The file %1 is a folder and cannot be used.";
inline constexpr const char *kNotRegularFileMessage = "The file %1 is not a regular file and cannot be used.";
inline constexpr const char *kPermissionDeniedMessage = "The file %1 cannot be read: permission denied.";
inline constexpr const char *kTooLargeFileMessage =
    "The file %1 is larger than any firmware file can be (more than %2 MB) and cannot be used.";
inline constexpr const char *kNoRecordsMessage = "The file %1 holds no firmware records.";

// Why the read of path failed, in a sentence: a folder, not a regular file,
// permission denied, else "The file NAME is damaged and cannot be used
// (line N: REASON)."
QString damagedFileMessage(const QString &path, SrecordError error, int line, const QString &reason);
QString damagedFileMessage(const QString &path, const SrecordResult &result);

// "The file NAME holds no firmware records."
QString noRecordsMessage(const QString &path);

// What is said of a missing file: a loader with the folders searched and
// where it belongs, the firmware file with its folder. With alsoMissing (the
// bootloader, when read is the RAM loader) both loaders in one message.
QString missingFileMessage(const FileRead &read, bool loader, const FileRead *alsoMissing = nullptr);

// The reads in their order: a damaged file, or one without a data record,
// turns the lamp red and is named in a message; a missing one ends the showing with its name and where
// it was looked for, the lamp red. The lamp ends green and PROGRAM enabled only when all three
// files are valid.
void showFileOpen(const FileOpenResult &result, MainView &view, Dialogs &dialogs);

} // namespace romwright
