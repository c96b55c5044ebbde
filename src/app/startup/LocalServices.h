#pragma once
// The state's services as both front ends assemble them on this machine, and
// the words for what the update's record and log could not write.

#include "app/startup/MainState.h"

#include <functional>

namespace romwright {

// The program's, the user's and the system's folders, the state folder,
// and the transcript of the line.
MainServices localServices(MainView &view, Dialogs &dialogs, Clock &clock, const FileSystem &files,
                           PortTranscript &transcript);

// The port map of this machine and environment, with the terminals that
// records of unfinished updates name outside it (a pseudo-terminal, an
// adapter named by its path) added for this run, so that each is found
// again through its own path.
PortMap portMapWithRecordedTerminals();

// How a front end says what the recorder could not write: warn takes a
// warning without its "romwright: " (the front end adds its own), notice
// the record left behind by a completed update, which the user must hear
// at once; advice follows "could not write FILE; " for the record of an
// update that may yet be interrupted.
struct RecorderWarnings {
    std::function<void(const QString &text)> warn;
    std::function<void(const QString &text)> notice;
    QString advice;
};
void sayRecorderFailures(MainState &state, RecorderWarnings warnings);

} // namespace romwright
