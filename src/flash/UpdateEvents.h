#pragma once
// What an update reports as it goes: the step it is in, the progress of its
// block passes, the answers that mark a step's way and, when it ends, how
// and where. Notifications only: what the update asks is UpdateDecisions.
// The routes show nothing themselves: the listeners (the view's controller,
// the update's recorder, a front end's own) turn these into what the
// window, the console, JSON and the update log show.

#include "flash/Outcome.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace romwright {

// The route's steps, in the order an old-boot update passes them.
enum class UpdateStep {
    Request,      // "R2"/"R4" and the wait for a greeting
    Greeting,     // the boot software has greeted
    RamLoader,    // old-boot route: "G" and the 1,024-byte RAM loader
    BootSoftware, // old-boot route: erase and the "D" records of the new boot software
    PowerCycle,   // old-boot route: waiting for the user to switch the scanner off and on
    Erase,        // firmware pass: "z", "E" and the wait for the erase
    FirmwarePass, // the "P" records
    Reset,        // the final "R"
    Done,
};

// "request", "greeting", "ram-loader", "boot-software", "power-cycle",
// "erase", "firmware", "reset", "done": the names JSON and the log use.
const char *stepName(UpdateStep step);

// How far an update has changed the scanner, which decides what an
// interruption leaves behind and how to come back from it.
enum class UpdatePhase {
    Unchanged,     // request, greetings, checks: the scanner is as it was
    ReplacingBoot, // the old-boot route from its "G" to the last bootloader record
    NewBoot,       // new boot software installed, its firmware not yet begun
    NoFirmware,    // the firmware pass has erased the flash
    Completed,
};

// Where and how an update ended early.
struct UpdateFailure {
    UpdateStep step = UpdateStep::Request;
    std::optional<char> awaited; // the letter the step waited for
    QByteArray arrived;          // what came instead (empty: nothing)
    int block = -1;              // index in the block table, -1 outside a pass
    int address = -1;            // that block's first target address
    QString portError;           // the port's own words, when it failed
};

// The early end for a person: the outcome, then where it happened, as
// "the scanner stopped responding (step firmware, block 12 at 0x1300:
// waited for "p", got nothing)".
QString describeFailure(Outcome outcome, const UpdateFailure &failure);

enum class Pass {
    Bootloader, // "D" records to the RAM loader, each answered with "R"
    Firmware,   // "P" records to the bootloader, each answered with "p"
};

struct TransferProgress {
    Pass pass = Pass::Firmware;
    int blocksSent = 0;
    int blocksTotal = 0;  // blocks of the table that hold data
    qint64 bytesSent = 0; // record bytes written so far
    qint64 bytesTotal = 0;
};

// Why an update gave up before a route, with the window still usable.
enum class UpdateStop {
    NoFile,                // no file chosen, or it did not load
    FileRefused,           // the firmware check said no
    PortNotOpen,           // the request could not be written
    NoFileAtGreeting,      // a file chosen during the greeting retry did not load
    FileRefusedAtGreeting, // the check said no to a file chosen during the retry
};

// A listener of an update's events. Each is called at the moment it
// names, synchronously, so what a front end shows keeps its place among
// the bytes on the line. progress comes between an acknowledgement and the
// next record: a listener does there no more than it must.
class UpdateEvents {
public:
    virtual ~UpdateEvents() = default;

    // PROGRAM was taken: the update runs from here.
    virtual void started() {}
    // The update gave up before a route; nothing of the file was sent.
    virtual void stopped(UpdateStop) {}
    // The first greeting did not come: it is asked for once more.
    virtual void retrying() {}
    // A step of the route begins.
    virtual void step(UpdateStep) {}
    // The boot software greeted and a route begins: the file and the
    // processor are fixed from here.
    virtual void routeBegins() {}
    // The boot software answered the route's first command ("Z" greeting, "C").
    virtual void connected() {}
    // The erase has been acknowledged.
    virtual void erased() {}
    // Before the first block of a pass and after every block sent.
    virtual void progress(const TransferProgress &) {}
    // Every block of a pass has been acknowledged.
    virtual void passDone(Pass) {}
    // Just before a request that restarts the scanner into its boot software
    // goes out on an open port: start-up's identification or the update's
    // own request. The boot software is not known yet, and nothing in the
    // scanner has changed, but an interruption from here on leaves it
    // waiting in its boot software, where it answers no search.
    virtual void beforeRestart() {}
    // Just before the first byte that changes the scanner, with the greeting
    // letter of the boot software the route talks to ('Z' before the
    // old-boot route's "G", 'Q' or 'A' before a firmware pass's "z"): what
    // an interruption from here on needs to be finished is to be recorded.
    virtual void beforeChange(char /*boot*/) {}
    // The scanner holds its whole firmware: the last block acknowledged and
    // the restart "R" sent. An interruption from here on leaves a scanner
    // running its new firmware, with nothing to finish.
    virtual void firmwareWritten() {}
    // After a completed update: what the restarted scanner answered when
    // asked its identity (its model's name), nullopt when it did not answer.
    virtual void answeredAfterUpdate(const std::optional<QString> &) {}
    // The click's update has come to its end, whatever the outcome (Stopped
    // too), before an end of the program is told: the window's message
    // waits for the user.
    virtual void finished(Outcome) {}
    // The program must end (completion, time-out, stall, lost line, ...);
    // failure is set for every end but the completion.
    virtual void ended(Outcome, UpdatePhase, const std::optional<UpdateFailure> &) {}
};

} // namespace romwright
