#pragma once
// The program's exit statuses, as scripts read them. A termination signal
// ends with 128 + the signal (TerminationSignals::exitStatus).

namespace romwright {

inline constexpr int kExitCompleted = 0; // the update (or --info, --history, --help) did what was asked
inline constexpr int kExitFailed = 1;    // it did not: an update that did not complete, a file or log unread
inline constexpr int kExitUsage = 2;     // the command line was not understood

} // namespace romwright
