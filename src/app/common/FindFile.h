#pragma once
// The Open dialog of the main window: a firmware file picked by hand.

#include <QString>

#include <functional>

namespace romwright {

class Dialogs;
class MainView;
struct ProgramFlags;

inline constexpr const char *kChooseProcessorMessage =
    "You must choose which Wexmoor Processor you want to update.";
inline constexpr const char *kFileTypeRequiredTitle = "File Type Required";

// The filter for the model shown in the window ("Halvern Firmware Files|H*.S19"),
// or a null text when the model label names no family: the filter then stays.
QString firmwareFilter(const QString &modelLabel, bool bBarCodeProcessor);

struct FindFileContext {
    MainView &view;
    Dialogs &dialogs;
    const ProgramFlags &flags;
    bool processorChosen = false; // one of the two processor options is selected
    QString programFolder;
    QString *filter = nullptr; // the dialog's filter, kept from one use to the next
    std::function<void(const QString &)> fileOpen;
};

// Shows the dialog; on a chosen file sets the file label to its name and
// calls fileOpen with the full path. Returns the path, empty when nothing was chosen.
QString FindFile(FindFileContext context);

} // namespace romwright
