#pragma once
// The start-up search for the newest firmware file in the program folder,
// then in the user's data folder. It never reads a folder: it tries a fixed
// list of names, newest first, and takes the first that exists. A file named
// on the command line wins.

#include "app/update/UpdateInputs.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

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

struct FileOpenContext;

// The file the search would take for one boot software, judged before the
// scanner is restarted to learn which boot software it has.
struct FirmwareCandidate {
    // The greeting that selects it: false the 64-byte boot software's ("Q",
    // and the old "Z", which gets the new bootloader first), true the
    // 128-byte one's ("A"); nullopt either (a family whose files serve both).
    std::optional<bool> bTargetA;
    QStringList names;  // the names tried, newest first
    QString path;       // the file the search takes; empty: none in any folder
    bool sound = false; // it loads whole, with its two loaders
};

// The candidate of each boot software the scanner's greeting could select:
// both, unless bTargetA is known (the scanner waits in its boot software
// and has said which). Folders and loaders are context's.
std::vector<FirmwareCandidate> firmwareCandidatesAtHand(const FileOpenContext &context, int typeOfScanner,
                                                        std::optional<bool> barCode,
                                                        std::optional<bool> bTargetA = std::nullopt);

// "the 64-byte boot software", "the 128-byte boot software", "either boot software".
QString bootSoftwareName(std::optional<bool> bTargetA);

// Where a missing candidate goes, and as what: "put Hlv1450Uver6_0.s19 (or
// an older release named the same way, down to Hlv1450Uver4_0.s19) in
// FOLDER". FOLDER is the folder of another candidate at hand, else the
// user's data folder, else the program folder.
QString missingFirmwareAdvice(const FirmwareCandidate &missing, const std::vector<FirmwareCandidate> &atHand,
                              const FileOpenContext &context);

// What start-up does with the chosen name: nothing when no file stands there;
// show it, enable PROGRAM and call fileOpen with the full path when the folder
// lists it; else disable PROGRAM. Returns true when fileOpen was called.
bool loadDiscoveredFirmware(const FileSystem &files, const FirmwareChoice &choice, MainView &view,
                            UpdateInputs &inputs, const std::function<void(const QString &)> &fileOpen);

} // namespace romwright
