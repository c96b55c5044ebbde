#pragma once
// The start-up search for the newest firmware file in the program folder,
// then in the user's data folder. It never reads a folder: it tries a fixed
// list of names, newest first, and takes the first that exists. A file named
// on the command line wins.

#include "app/common/UpdateInputs.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace romwright {

class FileSystem;
class MainView;

// Candidate names for a scanner type (ScannerType) and the
// bootloader kind found at start-up, newest first. Empty for any other type.
// For a family with two processors and barCode given: only that processor's
// names (a Wexmoor's ".s20" for BarCode, ".s19" for Main).
QStringList firmwareCandidates(int typeOfScanner, bool bTargetA, std::optional<bool> barCode = std::nullopt);

// The scanner type a model name stands for, by its family's first letter as the
// window shows it; kNotDetected for any other.
int typeOfScannerForModel(const QString &model);

// A firmware file the search chose: its name (sFirmFile, empty for none)
// and the folder it stands in.
struct FirmwareChoice {
    QString folder;
    QString sFirmFile;
};

// The first candidate that exists in the first folder holding one, then the
// command-line override (field 1, blanks trimmed) when that file exists in
// one of the folders. Folders are tried in order; empty ones are skipped.
// barCode narrows a Wexmoor's list to one processor's files.
FirmwareChoice discoverFirmware(const FileSystem &files, const QStringList &folders, int typeOfScanner,
                                bool bTargetA, const QString &commandLineFile,
                                std::optional<bool> barCode = std::nullopt);

// What start-up does with the chosen name: nothing when no file stands there;
// show it, enable PROGRAM and call fileOpen with the full path when the folder
// lists it; else disable PROGRAM. Returns true when fileOpen was called.
bool loadDiscoveredFirmware(const FileSystem &files, const FirmwareChoice &choice, MainView &view,
                            UpdateInputs &inputs, const std::function<void(const QString &)> &fileOpen);

} // namespace romwright
