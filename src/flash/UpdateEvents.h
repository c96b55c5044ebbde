#pragma once
// What an update reports as it goes: the step it is in and, when it ends
// early, where and how. Front ends turn these into lamps, lines, JSON and
// the update log; the routes themselves show nothing.

#include <QByteArray>
#include <QString>

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

// Where and how an update ended early.
struct UpdateFailure {
    UpdateStep step = UpdateStep::Request;
    std::optional<char> awaited; // the letter the step waited for
    QByteArray arrived;          // what came instead (empty: nothing)
    int block = -1;              // index in the block table, -1 outside a pass
    int address = -1;            // that block's first target address
    QString portError;           // the port's own words, when it failed
};

} // namespace romwright
