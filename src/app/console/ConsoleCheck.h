#pragma once
// romwright --console --check: start-up up to the gate and no further. The
// scanner is asked its identity, the file an update would take is read and
// judged, and what the update would send is said through the report.

#include "app/RunEnding.h"

namespace romwright {

class ConsoleReport;
class MainState;
struct ConsoleOptions;
class StartUpFrontEnd;
struct StartUpRequest;

// REQUEST as the console's start-up would run it; completed when the update
// would go ahead.
RunEnding consoleCheck(MainState &state, StartUpRequest request, const ConsoleOptions &options,
                       ConsoleReport &report, StartUpFrontEnd &frontEnd);

} // namespace romwright
