#pragma once
// The simulator's event loop: it carries bytes between the terminal and the
// scanner, paces them like a cable at the line's rate when asked, runs the
// scanner's timers and ends the run. One thread; it sleeps in poll() until a
// byte, a deadline (timerfd, absolute time) or a signal arrives.

#include "PtyLine.h"
#include "SimScanner.h"
#include "Transcript.h"
#include "Turnaround.h"

#include <deque>
#include <functional>
#include <vector>

namespace romwright::sim {

class Simulator final : public ScannerHost {
public:
    explicit Simulator(const SimOptions &options);
    ~Simulator() override;

    // Runs until the update completes, the line is hung up, --exit-after or
    // a signal. Returns the exit status.
    int run();

    void send(std::string_view bytes, int rate) override;
    TimerId startTimer(Clock::duration delay, std::function<void()> action) override;
    void cancelTimer(TimerId id) override;
    void note(const std::string &text) override;
    void complete() override;
    void hangUp() override;

private:
    struct Pending {
        std::uint8_t byte;
        int rate;
        Clock::time_point at; // arrival (in) or delivery (out)
    };
    struct Timer {
        TimerId id;
        Clock::time_point at;
        std::function<void()> action;
    };

    bool setUp(std::string &error);
    void readLine();
    void deliverDue(Clock::time_point now);
    void writeDue(Clock::time_point now);
    bool fireDueTimer(Clock::time_point now);
    Clock::time_point nextDeadline() const;
    void armWakeup(Clock::time_point at);
    Clock::duration byteTime(int rate) const;
    void writeDump();

    SimOptions m_options;
    Clock::time_point m_start;
    Transcript m_transcript;
    Turnaround m_turnaround;
    PtyLine m_line;
    SimScanner m_scanner;

    int m_timerFd = -1;
    int m_signalFd = -1;
    std::deque<Pending> m_in;
    std::deque<Pending> m_out;
    Clock::time_point m_inFree;            // when the line from the program is free again
    Clock::time_point m_outFree;           // when the line to the program is free again
    Clock::time_point m_now;               // the time the scanner acts at
    int m_knownRate = 0;                   // the program's rate as last seen
    int m_rateBeforeChange = 0;            // and before its latest change
    Clock::time_point m_settingsChangedAt; // when the program last changed it
    bool m_opening = false;                // the program opened its port and has sent nothing yet
    std::vector<Timer> m_timers;
    TimerId m_nextTimer = 1;
    bool m_complete = false;
    bool m_hangUp = false;
    bool m_quit = false;
    Clock::time_point m_lingerUntil;
    Clock::time_point m_hangUpAt = Clock::time_point::max();
    Clock::time_point m_closedSince = Clock::time_point::max(); // the program's port, since when closed
};

} // namespace romwright::sim
