#pragma once
// The serial dialogue with the scanner's boot software: opening the port,
// single bytes and requests, and the waits for one acknowledging letter.
//
// A wait sleeps on the clock and wakes only for a byte, a tick of a greeting
// timer, its own bound, a lost line or the end of the program, so the window
// keeps painting while the scanner works. Each read takes everything waiting and
// looks at its first byte only: the boot software answers each command with
// exactly one letter, and anything else on the line is noise.

#include "flash/FlashTimings.h"
#include "flash/Outcome.h"
#include "flash/TargetState.h"
#include "flash/WaitTimers.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <cstdint>
#include <optional>

namespace romwright {

inline constexpr const char *kSettings38400 = "38400,n,8,1";
inline constexpr const char *kSettings19200 = "19200,n,8,1";

// The first character of a greeting letter as a byte; nullopt when empty
// (a Cancel in the hidden prompt), which no byte matches.
std::optional<std::uint8_t> firstLetter(const QString &letter);

// Whose time-out counts an identification's greeting waits add to. Start-up's
// identification shares them with the update's waits; one the program adds
// later (for the other processor, or after Search Again) keeps counts of its
// own, so that none of its misses ends the program or uses up a silent miss
// of the update's.
enum class GreetingCounts { Shared, Own };

class BootloaderLink : public QObject {
    Q_OBJECT
public:
    BootloaderLink(SerialPort &MSComm1, Clock &clock, const FlashTimings &timings, QObject *parent = nullptr);

    SerialPort &port() { return m_port; }
    WaitTimers &timers() { return m_timers; }
    const FlashTimings &timings() const { return m_timings; }
    Clock &clock() { return m_clock; }
    void pause(std::chrono::milliseconds duration);

    // What a route changes on the line besides its bytes: the settings
    // ("38400,n,8,1"), the receive buffer emptied, and the greeting timers
    // (tmrWaitForZ armed with its full interval, tmrWaitForQ restarted).
    void setSettings(const char *settings);
    void clearInput();
    void armWaitForZ();
    void restartWaitForQ(std::chrono::milliseconds interval);

    // Configures the port for the boot software and opens port nPort. False
    // when nPort is outside 1..16 (an open port then stays as it is) or
    // another program (or a missing permission) keeps it from us; a number
    // without a device still reports true and fails at the first write.
    bool OpenPort(int nPort);

    // Writes inside a route. A failed write, or a line lost since the port
    // was opened, gives EndConnectionLost; otherwise Ok.
    Outcome SendByte(std::uint8_t b);
    Outcome send(const QByteArray &bytes);

    // Lets pending window events run once, empties the receive buffer, then
    // writes "R2" ("R4" for the bar-code processor). False only when the
    // port is not open.
    bool RequestBootloader(bool barCodeProcessor);

    // Acknowledgement waits inside a route: Ok when a read begins with b,
    // EndStalled when bound passes first, EndConnectionLost for a lost line.
    // The program ending meanwhile: EndClosed.
    // WaitForByteFlushed empties the receive buffer after every read that
    // does not begin with b; emptying it before the command is the caller's.
    Outcome WaitForByte(std::uint8_t b, std::chrono::milliseconds bound);
    Outcome WaitForByteFlushed(std::uint8_t b, std::chrono::milliseconds bound);

    // Greeting waits: the buffer is emptied after every read that is not the
    // letter (the request emptied it of older bytes). WaitForLetterZ gives up
    // silently when tmrWaitForZ has ticked. When the program ends during a
    // greeting wait, WaitForLetterZ gives false and the others EndClosed.
    bool WaitForLetterZ(std::uint8_t b);
    // WaitForLetterQ and WaitForLetterA give up when tmrWaitForQ has ticked
    // and apply the time-out rule with their own count: an odd count gives
    // Missed, an even count EndTimedOut.
    Outcome WaitForLetterQ(std::optional<std::uint8_t> b);
    Outcome WaitForLetterA(std::optional<std::uint8_t> b);

    // Start-up identification: sets bTargetA when the scanner greets with
    // sLetterA after a silent miss of sLetterQ.
    // The request goes to the processor the update is for: a Wexmoor's two
    // processors may carry different boot software.
    Outcome IdentifyTarget(TargetState &state, bool barCodeProcessor = false,
                           GreetingCounts counts = GreetingCounts::Shared);

    // A greeting taken after a repeated request may have answered the first
    // one: the repeated request's own greeting is then still to come, and
    // would read as the answer to the pass's first command. The next route
    // wait drops that letter once where it leads what arrives; nullopt: none owed.
    void owedGreeting(std::optional<std::uint8_t> letter) { m_owed = letter; }

    // What the wait or write that last gave an End value saw: the letter it
    // waited for, the bytes that came instead, the port's words for a failed
    // write. Cleared when an update begins.
    struct LastEnd {
        std::optional<char> awaited;
        QByteArray arrived;
        QString portError;
    };
    const LastEnd &lastEnd() const { return m_lastEnd; }
    void clearLastEnd() { m_lastEnd = {}; }

    void closePort();
    bool lineLost() const { return m_lineLost; }
    // A greeting has come since the program started: the scanner restarted
    // into its boot software and stays there until switched off and on.
    bool greeted() const { return m_greeted; }
    // A request ("R2", "R4") has gone out on an open port since the program
    // started: the scanner, greeting or not, may wait in its boot software.
    bool restartRequested() const { return m_restartRequested; }
    // The program is ending: no wait sleeps and nothing more is sent.
    bool ending() const { return m_clock.waitsEnded(); }

private:
    enum class WaitEnd { Got, Deadline, LineLost, Ended };
    // Until b comes (any byte is kept, none taken, for nullopt), the line is
    // lost (watchLine) or the deadline passes. A greeting's deadline is its
    // timer's tick: a greeting that lies waiting once it has passed is not
    // taken (tickFirst); an answer there at its deadline is.
    WaitEnd waitFor(std::optional<std::uint8_t> b, bool flushed, Clock::ms deadline, bool tickFirst,
                    bool watchLine);
    Outcome routeWait(std::uint8_t b, bool flushed, std::chrono::milliseconds bound);
    Outcome greetingWait(std::optional<std::uint8_t> b, int &count);
    Outcome greetingTimedOut(int &count);
    Outcome endWait(std::optional<std::uint8_t> b, Outcome end);

    SerialPort &m_port;
    Clock &m_clock;
    FlashTimings m_timings;
    WaitTimers m_timers;
    bool m_lineLost = false;
    bool m_greeted = false;
    std::atomic<bool> m_restartRequested = false; // read by a signal's handler too
    QByteArray m_arrived;                         // what the current wait read that was not its letter
    std::optional<std::uint8_t> m_owed;           // a greeting still to come for a repeated request
    LastEnd m_lastEnd;
};

} // namespace romwright
