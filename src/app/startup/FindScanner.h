#pragma once
// The main window's start-up search for the scanner, written against the
// view so that the window, the console and the tests share it, and how
// detection shows on the view: the hourglass and the chooser.

#include "app/update/UpdateInputs.h"
#include "scanner/DetectionEvents.h"

#include <QString>
#include <QtGlobal>
#include <optional>

namespace romwright {

class Dialogs;
class MainView;
class Scanner;
class SerialPort;

enum class FindStatus {
    Done,
    EndProgram,    // detection asks the program to end (see Detection::EndProgram)
    BadPortNumber, // the given port is not a 16-bit number; the model label is set
};

struct FindScannerResult {
    FindStatus status = FindStatus::Done;
    qint16 port = -1; // the scanner's port, -1 when none was found, or the port given
};

// Detection on the front end's view and dialogs: the hourglass while it
// runs, the chooser when a scanner cannot name its model.
class DetectionController : public DetectionEvents {
public:
    DetectionController(MainView &view, Dialogs &dialogs) : m_view(view), m_dialogs(dialogs) {}
    void detecting(bool underWay) override;
    std::optional<QString> chooseModel() override;

private:
    MainView &m_view;
    Dialogs &m_dialogs;
};

// With both comP and scannMod given (an empty text counts as given): shows
// scannMod as the model (with the processor options) and answers comP as a number ("" is 0)
// without touching any port. Otherwise runs detection on port and shows its outcome: the model label, the
// Port menu (hidden once the port is known), PROGRAM (disabled when nothing answered) and the
// processor options.
FindScannerResult FindScanner(Scanner &scanner, SerialPort &port, MainView &view, UpdateInputs &inputs,
                              const std::optional<QString> &comP = std::nullopt,
                              const std::optional<QString> &scannMod = std::nullopt);

} // namespace romwright
