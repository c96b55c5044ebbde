#pragma once
// What the main window's Help menu and its unload do with the help object.

#include "help/HTMLHelp.h"

namespace romwright {

inline constexpr const char *kHelpFileName = "Romwright.CHM";
inline constexpr const char *kHelpStartPage = "about.html";

// The program's help file: its folder followed by "Romwright.CHM".
QString helpFilePath(const QString &programFolder);

// The folder the help file is read from: the program folder when it holds
// the file (a build tree, Windows), else the installed data folder
// ../share/romwright beside it (/usr/bin -> /usr/share/romwright) when that
// does. When neither does, the program folder, which the message then names.
QString helpFolder(const FileSystem &files, const QString &programFolder);

// Help > View Help File (F1): the help file with its contents and the start page,
// both shown without an owner window.
void viewHelpFile(HTMLHelp &help, const QString &programFolder);

// The page F1 opens in a dialog, found by the dialog's title: each question
// and window the program shows has its own page or section; any other
// message box, the list of messages.
QString dialogHelpPage(const QString &title);

// F1 in a dialog: the help file with its contents and that page, owned by
// the dialog, so that it stays above it and can be read while the dialog
// waits for its answer; it closes with the dialog.
void viewHelpPage(HTMLHelp &help, const QString &programFolder, const QString &page, WindowHandle owner);

// Unload of the main window: every help window the program opened closes.
void closeHelp(HTMLHelp &help);

} // namespace romwright
