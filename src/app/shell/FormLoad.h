#pragma once
// Start-up of the main window, before it is first shown: help file, scanner
// object, command line, scanner search, port, bootloader identification,
// firmware search and loading. Every step is tried in turn; one that fails
// has no effect and the next runs all the same. Only an end of the program
// (PROGRAM already pressed, the chooser's Exit) stops it.

#include "app/shell/WindowCommandLine.h"

#include <QString>

#include <functional>
#include <optional>

namespace romwright {

class FileSystem;
class MainView;

enum class FormLoadEnd {
    Ready,      // show the window
    EndProgram, // end at once, without showing it
};

// What a scanner search came to: the port (-1 none found), or an end.
struct ScannerSearch {
    enum class Status { Done, EndProgram, BadPortNumber } status = Status::Done;
    int port = -1;
};

// The steps, each owned by the layer that knows how; the sequence only
// orders them and keeps one step's failure from the next.
struct FormLoadSteps {
    std::function<void()> setHelpFile;         // program folder + "Romwright.CHM"
    std::function<bool()> programming;         // bProgramming
    std::function<void()> createScanner;       // cScann, sLetterQ = "Q", sLetterA = "A"
    // Both given (empty texts count as given) or both left out (a port search).
    std::function<ScannerSearch(const std::optional<QString> &comP, const std::optional<QString> &scannMod)>
        findScanner;
    std::function<void(int port)> mnuComClick; // opens the port, ticks it, shows it
    std::function<bool()> identifyTarget;      // false: the program must end now
    std::function<int()> typeOfScanner;
    std::function<bool()> targetA;             // bTargetA after the identification
    std::function<void(const QString &path)> fileOpen;
    std::function<void()> letEventsRun;
};

struct FormLoadContext {
    const FileSystem &files;
    MainView &view;
    QString programFolder;    // the firmware search looks here first
    QString userDataFolder{}; // then here; empty: nowhere else
};

// The start-up sequence. sFirmFile receives the chosen firmware name ("" for none).
FormLoadEnd FormLoad(const std::optional<WindowCommandLine> &commandLine, const FormLoadSteps &steps,
                     const FormLoadContext &context, QString *sFirmFile = nullptr);

} // namespace romwright
