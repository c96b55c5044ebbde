#pragma once
// The Open dialog of the main window: a firmware file picked by hand.

#include <QString>

#include <functional>

namespace romwright {

class Dialogs;
class Registry;
class UpdateInputs;
struct ScannerFamily;

inline constexpr const char *kChooseProcessorMessage =
    "You must choose which Wexmoor Processor you want to update.";
inline constexpr const char *kFileTypeRequiredTitle = "File Type Required";
// Offered after the model's own filter, in this order.
inline constexpr const char *kMoreOpenFilters =
    "All firmware files (*.s19 *.s20 *.srec *.mot)|*.s19;*.s20;*.srec;*.mot|All files (*)|*";
// Where the folder of the last file chosen by hand is kept between runs.
inline constexpr const char *kOpenDialogKey = "Software\\Romwright\\Open";
inline constexpr const char *kLastFolderValue = "LastFolder";

// The filter for the family of the model shown in the window ("Halvern
// Firmware Files|H*.S19"), or a null text for none: the filter then stays.
QString firmwareFilter(const ScannerFamily *family, bool bBarCodeProcessor);

struct FindFileContext {
    UpdateInputs &inputs; // the model and processor; the file chosen is shown there
    Dialogs &dialogs;
    bool processorChosen = false; // one of the two processor options is selected
    QString programFolder;
    QString *filter = nullptr; // the dialog's filter, kept from one use to the next
    std::function<void(const QString &)> fileOpen;
    QString currentFile{};     // the firmware file loaded now, if any
    QString documentsFolder{}; // the user's own documents (documentsFolder())
    Registry *registry = nullptr;
};

// The user's Documents folder, else the home folder.
QString documentsFolder();

// True for a folder that a file manager hides (below ~/.local, in
// %LOCALAPPDATA%): the program's own places, not where a user keeps files.
bool hiddenFolder(const QString &folder);

// The folder the dialog opens in: the current file's, else the one the last
// file was chosen from, else the user's documents, else the program's;
// never a hidden one, nor one that is gone.
QString openDialogFolder(const FindFileContext &context);

// Shows the dialog; on a chosen file sets the file label to its name, keeps
// its folder for the next time and calls fileOpen with the full path.
// Returns the path, empty when nothing was chosen.
QString FindFile(FindFileContext context);

// A file given without the dialog (dropped on the window): taken as if it
// had been chosen in it, after the same processor check. Returns path, or
// empty when the check stopped it.
QString OpenGivenFile(FindFileContext context, const QString &path);

} // namespace romwright
