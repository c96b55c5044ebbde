#pragma once
// The several-scanner run's reader of what a child prints: each line of its
// standard output (one JSON object, or a stray text) turned into the
// parent's view of that scanner and what the parent does with it.

#include "app/console/MultiScannerPrinter.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace romwright {

struct ChildLine {
    QJsonObject object;         // the line passed on with "port" added; empty: nothing to pass on
    QString note;               // for a person, above the redrawn lines; empty: none
    bool noteIsError = true;    // the note goes to standard error
    QString warning;            // a warning of the child's, said once however many children say it
    bool waitsAtPrompt = false; // a power-cycle prompt that waits for a line: passed on when its turn comes
    std::optional<int> status;  // its result's exit status
    bool rowChanged = true;     // the row may show something new
};

// Reads one line into the row of its scanner: model, file, step, progress,
// the notes shown when it failed and the fields of its failure.
ChildLine readChildLine(const QByteArray &line, ScannerRow &row);

} // namespace romwright
