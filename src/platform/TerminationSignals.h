#pragma once
// SIGINT, SIGTERM and SIGHUP end the program as closing the window does:
// the waits return, the stack unwinds and the port's owner closes the port.
// The handler only notes the signal and writes a byte to a pipe; the event
// loop, or the line clock's wait on this thread, reads the byte and calls
// onSignal there, where anything may be done. A second signal while the first is being handled is
// taken at its default: the user does not want to wait for the unwinding.
//
// Blocking reads of standard input (the power-cycle prompt) are not
// restarted after the signal; they fail with EINTR, so the prompt returns.
//
// On Windows the console's Ctrl-C and Ctrl-Break count as SIGINT, closing
// the console window, logging off and shutting down as SIGTERM; the system
// ends the program once the handler returns from those, so the handler
// holds it until the unwinding is done (or the system's grace runs out).

#include "platform/LineWaits.h"

#include <functional>
#include <memory>
#include <vector>

class QObject;

namespace romwright {

class TerminationSignals {
public:
    // One at a time: the handlers are process-wide.
    explicit TerminationSignals(std::function<void(int signal)> onSignal);
    ~TerminationSignals(); // the previous handlers come back
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

    // The first signal caught since the last construction, 0 for none; it
    // stays readable after destruction, for the exit status.
    static int lastCaught();
    // The shell's convention: 128 + the signal's number (130 for SIGINT).
    static int exitStatus(int signal) { return 128 + signal; }

private:
    // On the event loop, after a signal was noted.
    void notice();

    std::function<void(int)> m_onSignal;
    std::unique_ptr<QObject> m_notifier; // wakes the event loop for notice()
    // The same for the waits of a line thread made on this thread.
    std::vector<std::unique_ptr<HandleSource>> m_lineSources;
    bool m_reported = false;
};

} // namespace romwright
