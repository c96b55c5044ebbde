#pragma once
// romwright --console --check: start-up up to the gate and no further. The
// scanner is asked its identity, the file an update would take is read and
// judged, and what the update would send is said through the report.

#include "app/RunEnding.h"

namespace romwright {

class ConsoleReport;
class MainState;
struct ConsoleOptions;
struct StartUpRequest;
struct StartUpResult;

// The console's start-up request made a check's: no record offered, and
// stopped after the gate.
StartUpRequest checkRequest(StartUpRequest request);

// What the check's start-up found; completed when the update would go ahead.
RunEnding consoleCheck(MainState &state, const StartUpResult &started, const ConsoleOptions &options,
                       ConsoleReport &report);

} // namespace romwright
