#pragma once
// romwright --console --check: start-up up to the gate and no further. The
// scanner is asked its identity, the file an update would take is read and
// judged, and what the update would send is said through the report.

namespace romwright {

class ConsoleReport;
class MainState;
struct ConsoleOptions;
struct StartUpRequest;

// REQUEST as the console's start-up would run it; kExitCompleted when the
// update would go ahead.
int consoleCheck(MainState &state, StartUpRequest request, const ConsoleOptions &options,
                 ConsoleReport &report);

} // namespace romwright
