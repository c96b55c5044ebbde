#pragma once
// How the window shows the end of an update, in one place: the lamp of the
// step that failed turns red (its mark a cross), the blocks' beat stops, and
// the status line says the run's ending, so that nothing of the last wait
// stands behind the message that follows.

#include "app/RunEnding.h"
#include "flash/UpdateEvents.h"
#include "view/MainView.h"

#include <QString>

#include <optional>
#include <vector>

namespace romwright {

class MainWindow;

struct WindowEnding {
    RunEnding run;
    std::vector<LampId> failed; // turned red
    QString status;             // the status line from here on
};

// What an update that ended the program leaves on the window.
WindowEnding windowEnding(Outcome outcome, const std::optional<UpdateFailure> &failure);
// What an update that gave up before a route leaves: a port that would not
// take the request turns the port lamp red; the rest have said it in their
// message. The status line goes blank.
WindowEnding windowStop(UpdateStop why);

void showEnding(MainWindow &window, const WindowEnding &ending);

} // namespace romwright
