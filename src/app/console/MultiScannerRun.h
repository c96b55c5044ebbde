#pragma once
// romwright --console --port 1,3,4 (or --port all): the scanners on those
// ports are updated at once, each by a process of its own, this program
// started again as `--console --json --port N`. A scanner that stalls, a
// cable pulled out or a process that dies touches no other scanner. This
// process reads the children's JSON lines, shows their progress, passes
// Enter on to the one child waiting at its power-cycle prompt, passes a
// termination signal on to them all and ends with a table of the results.

#include "app/console/ConsoleOptions.h"

namespace romwright {

// The exit status: 0 when every scanner completed, 1 when any did not,
// 128 + the signal when one ended the run.
int runSeveralScanners(const ConsoleOptions &options);

} // namespace romwright
