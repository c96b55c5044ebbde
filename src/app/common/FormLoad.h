#pragma once
// Start-up, before there is anything to click: scanner object, port search
// (or the port and model given), the port, the bootloader identification,
// the firmware search and loading. The window and the console both run it;
// the window goes on past every step that fails and then shows itself, the
// console stops at the first step that leaves it nothing to program.

#include "app/common/FindScanner.h"
#include "app/common/FirmwareDiscovery.h"
#include "app/common/UnfinishedUpdate.h"
#include "flash/Outcome.h"
#include "scanner/ScannerModel.h"
#include "scanner/ScannerTimings.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace romwright {

class MainState;
class PortPermissionNotice;
class Scanner;

enum class FormLoadEnd {
    Ready,       // show the window, or program
    EndProgram,  // end at once: PROGRAM already pressed, the chooser's Exit, or the identification ended it
    NoScanner,   // (stopAtFirstGap) the search found none
    PortRefused, // (stopAtFirstGap) this user may not open the port; the notice was shown
    Declined,    // beforePort said no, or (stopAtFirstGap) the gate did: the scanner was not restarted
    NoFirmware,  // (stopAtFirstGap) no firmware file for the scanner in any folder, or none for the
                 // boot software that greeted
    Unfinished,  // an unfinished update was found and the user stopped
};

enum class FinishAnswer {
    Finish, // go on with the record's port, model, processor and file
    Search, // leave the record and start up as usual
    Stop,   // end start-up (Unfinished)
};

// What the front end asks of start-up.
struct StartUpRequest {
    // The port and the model given (the window's fields 2 and 3, the console's
    // --port and --model): both given, even empty, means no port search.
    std::optional<QString> comP;
    std::optional<QString> scannMod;
    // The scanner type when no search ran. The window's command line leaves
    // it unknown, so that only a named file is loaded.
    ScannerType givenType = kNotDetected;
    QString firmwareName;        // wins over the search when it stands in one of the folders
    QString firmwarePath;        // loaded as given instead of any search
    std::optional<bool> barCode; // narrows a Wexmoor's search to one processor's files
    bool stopAtFirstGap = false;

    // After a search that ended (found or not); the console prints the outcome.
    std::function<void(const Scanner &scanner, const FindScannerResult &found)> searched;
    // Before the port opens; false ends start-up (Declined).
    std::function<bool(int typeOfScanner)> beforePort;
    // The name the search chose, before it is loaded.
    std::function<void(const QString &sFirmFile)> firmwareFound;

    // With no port given, the newest unfinished update in the state folder
    // whose file is as it was. Not set: records are not looked for.
    std::function<FinishAnswer(const UnfinishedUpdate &record, int othersLeft)> offerToFinish;
    // Several records fit the scanner on one port (of one model, or of
    // models its boot software cannot tell apart): the program never chooses
    // between them. Finish sets chosen to the index of the one the user
    // chose; Search leaves them all; Stop ends start-up.
    std::function<FinishAnswer(const std::vector<UnfinishedUpdate> &rivals, std::size_t &chosen)>
        chooseAmongRecords;
    // The model named without a port (the console's --model): only its records are offered.
    QString recordModel;
    // A record whose file has changed or gone since; it is not used.
    std::function<void(const UnfinishedUpdate &record, RecordedFile file)> recordNotUsed;
    // A file among the records that is no sound record, set aside before any
    // record is offered (damagedRecordText says it).
    std::function<void(const DamagedRecord &damaged)> recordDamaged;
    // A record that cannot be finished now (its device is not connected): it
    // is kept for its scanner and the next record is tried; text is the one
    // line that says so. So is a record whose port answers as another model,
    // or as none.
    std::function<void(const UnfinishedUpdate &record, const QString &text)> recordSetAside;
    // The search found no scanner; the front end says how to come back from
    // an interrupted update.
    std::function<void()> noScannerFound;
};

struct StartUpResult {
    FormLoadEnd end = FormLoadEnd::Ready;
    Outcome identified = Outcome::Ok; // an End value when the identification ended the program
    int typeOfScanner = kNotDetected;
    std::optional<UnfinishedUpdate> finishing; // the record being finished
    QString sFirmFile; // the name chosen by the search or the command line, "" for none
    // Without a file named: the file the search would take for each boot
    // software that could greet, judged before the scanner was restarted.
    std::vector<FirmwareCandidate> candidates;
};

// What start-up works on, lent by the front end. cScann receives the scanner
// object; notice is shown at most once for the whole run.
struct StartUpContext {
    MainState &state;
    std::unique_ptr<Scanner> &cScann;
    PortPermissionNotice &notice;
    ScannerTimings scannerTimings{};
};

StartUpResult FormLoad(const StartUpRequest &request, const StartUpContext &context);

enum class PortOpening { Opened, Failed, RefusedToUser };

// Opens port n as the Port menu does; a device this user may not open is
// explained by the notice (once in the whole run).
PortOpening openPortExplained(MainState &state, PortPermissionNotice &notice, int n);

} // namespace romwright
