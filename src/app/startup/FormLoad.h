#pragma once
// Start-up, before there is anything to click, as named steps (StartUpStep):
// an unfinished update offered, the port found, the gate, the boot software
// identified, the firmware found and loaded. The window and the console both
// run it and hear it through one interface (StartUpFrontEnd); the window goes
// on past every step that fails and then shows itself, the console stops at
// the first step that leaves it nothing to program, and --check stops after
// the gate.

#include "app/startup/FindScanner.h"
#include "app/update/FirmwareDiscovery.h"
#include "app/update/UnfinishedUpdate.h"
#include "flash/Outcome.h"
#include "platform/DeviceAccess.h"
#include "scanner/ScannerModel.h"
#include "scanner/ScannerTimings.h"

#include <QString>

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
    Declined,    // (stopAtFirstGap) the gate said no: the scanner was not restarted
    NoFirmware,  // (stopAtFirstGap) no firmware file for the scanner in any folder, or none for the
                 // boot software that greeted
    Unfinished,  // an unfinished update was found and the user stopped
    Stopped,     // stopped after the step it was asked to stop after (stopAfter)
};

enum class FinishAnswer {
    Finish, // go on with the record's port, model, processor and file
    Search, // leave the record and start up as usual
    Stop,   // end start-up (Unfinished)
};

// The steps of start-up in the order they run.
enum class StartUpStep {
    OfferRecord,  // an unfinished update offered, and taken as if its port, model and file were named
    FindPort,     // the port search, or the port and model given
    Gate,         // the scanner asked what it is, the file judged: may it be restarted?
    Identify,     // the port opened, the scanner restarted into its boot software and its greeting heard
    DiscoverFile, // the newest firmware for the scanner and its boot software found and loaded
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
    // Start-up ends after this step (Stopped) when it gets there: --check stops after the gate.
    std::optional<StartUpStep> stopAfter;
    // With no port given, the newest unfinished update in the state folder
    // whose file is as it was is offered to the front end.
    bool offerRecords = false;
    // The model named without a port (the console's --model): only its records are offered.
    QString recordModel;
};

// What a search found, as start-up tells it.
struct SearchReport {
    int port = -1;              // the scanner's port, below 1 when none was found
    QString name;               // what the scanner was found as, or why none was
    std::vector<HeldPort> held; // ports another program holds
};

// What start-up tells the front end as it goes, and asks of it. Each call is
// an event (told; nothing comes back) or a question (only its answer comes
// back): none lends the front end's insides out, and none expects the front
// end to call back into start-up, so that the calls may cross to another
// thread as they are.
class StartUpFrontEnd {
public:
    virtual ~StartUpFrontEnd() = default;

    // A search ended, found or not.
    virtual void searched(const SearchReport & /*report*/) {}
    // The port opens next, for the scanner type as known now.
    virtual void openingPort(int /*typeOfScanner*/) {}
    // The name the search chose, before it is loaded.
    virtual void firmwareFound(const QString & /*sFirmFile*/) {}
    // A record whose file has changed or gone since; it is not used.
    virtual void recordNotUsed(const UnfinishedUpdate & /*record*/, RecordedFile /*file*/) {}
    // A file among the records that is no sound record, set aside before any
    // record is offered (damagedRecordText says it).
    virtual void recordDamaged(const DamagedRecord & /*damaged*/) {}
    // A record that cannot be finished now (its device is not connected): it
    // is kept for its scanner and the next record is tried; text is the one
    // line that says so. So is a record whose port answers as another model,
    // or as none.
    virtual void recordSetAside(const UnfinishedUpdate & /*record*/, const QString & /*text*/) {}
    // The search found no scanner; recordPorts are the ports records are kept
    // for, so that the front end says how to come back from an interrupted update.
    virtual void noScannerFound(const std::vector<int> & /*recordPorts*/) {}

    // The record to finish: othersLeft wait on other ports.
    virtual FinishAnswer offerToFinish(const UnfinishedUpdate & /*record*/, int /*othersLeft*/)
    {
        return FinishAnswer::Search;
    }
    // Several records fit the scanner on one port (of one model, or of models
    // its boot software cannot tell apart): the program never chooses between
    // them. Finish comes with the index of the one the user chose; Search
    // leaves them all; Stop ends start-up. Unless told otherwise, the first is
    // offered as one alone would be.
    struct RecordPick {
        FinishAnswer answer = FinishAnswer::Search;
        std::size_t chosen = 0;
    };
    virtual RecordPick chooseAmongRecords(const std::vector<UnfinishedUpdate> &rivals, int othersLeft)
    {
        return {offerToFinish(rivals.front(), othersLeft), 0};
    }
};

struct StartUpResult {
    FormLoadEnd end = FormLoadEnd::Ready;
    Outcome identified = Outcome::Ok; // an End value when the identification ended the program
    int typeOfScanner = kNotDetected;
    int port = 0;                              // the port found or given, 0 for none
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

// Runs the steps in turn: the window goes on past every gap, the console
// (stopAtFirstGap) stops at the first one that leaves it nothing to program.
StartUpResult FormLoad(const StartUpRequest &request, const StartUpContext &context,
                       StartUpFrontEnd &frontEnd);

enum class PortOpening { Opened, Failed, RefusedToUser };

// Opens port n as the Port menu does; a device this user may not open is
// explained by the notice (once in the whole run).
PortOpening openPortExplained(MainState &state, PortPermissionNotice &notice, int n);

} // namespace romwright
