#pragma once
// What an update reports as it goes: the step it is in, the progress of its
// block passes, the answers that mark a step's way and, when it ends, how
// and where. The routes show nothing themselves: a front end's controller
// turns these into what the window, the console, JSON and the update log show.

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

// The receiver of an update's events. Each is called at the moment it
// names, synchronously, so what a front end shows keeps its place among
// the bytes on the line.
class UpdateEvents {
public:
    virtual ~UpdateEvents() = default;

    // PROGRAM was taken: the update runs from here.
    virtual void started() {}
    // Whether a firmware file has been chosen at all.
    virtual bool fileChosen() const { return true; }
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
    // The new boot software waits for a power cycle; false ends the update.
    virtual bool powerCycle() { return true; }
    // The program must end (completion, time-out, stall, lost line, ...);
    // failure is set for every end but the completion.
    virtual void ended(Outcome, UpdatePhase, const std::optional<UpdateFailure> &) {}
};

} // namespace romwright
