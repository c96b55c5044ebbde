#pragma once
// What the user is told about the files FileOpen reads, and the showing of it
// on the window's file lamp, PROGRAM and in message boxes.

#include "image/FileOpen.h"

#include <QString>

namespace romwright {

class Dialogs;
class MainView;

inline constexpr const char *kMissingFileMessage =
    "One of the files necessary to update your firmware was not found. "
    "Please reinstall the Romwright to fix this problem.";

// "The file NAME is damaged and cannot be used (line N: REASON)."
QString damagedFileMessage(const QString &path, int line, const QString &reason);
QString damagedFileMessage(const QString &path, const SrecordResult &result);

// The reads in their order: a damaged file turns the lamp red and is named
// in a message; a missing one ends the showing with the missing-file message
// (a green lamp would still vouch for the files of an earlier load, so it
// turns red). The lamp ends green and PROGRAM enabled only when all three
// files are valid.
void showFileOpen(const FileOpenResult &result, MainView &view, Dialogs &dialogs);

} // namespace romwright
