#pragma once
// One question of a scanner's identity ("V" CR LF) on one port, at the model
// table's rates, each answer awaited as long as the command table allows it
// and a grace period more. Detection asks many ports at once with its short
// row wait; this asks one port before anything is sent that could change the
// scanner. Only two readings let a name given by a person decide: not one
// byte, or a boot software's greeting and nothing else. Anything else that
// is not exactly a model's answer is refused, never taken for silence.

#include "family/ScannerFamilies.h"
#include "platform/Clock.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <vector>

namespace romwright {

class ScannerModels;
struct ScannerModel;
class SerialPort;

struct IdentityAnswer {
    enum class Kind {
        Model,      // exactly a model's own identity answer (or a Jorlith's compatibility answer)
        Unknown,    // other bytes: another line end, NULs, noise, a late or partial answer
        BootPrompt, // a boot software's greeting letter alone, repeated or not: it cannot name the model
        Silent,     // not one byte within the window at any rate
        NoPort,     // the port could not be opened and held to the end of the question
    };
    Kind kind = Kind::Silent;
    QString model; // Model: as the window shows it ("Jorlith 750")
    qint32 typeOfScanner = kNotDetected;
    QByteArray raw;          // Unknown: the bytes as they came; BootPrompt: the letters, its prompt last
    QString portError;       // NoPort: why
    bool portOpened = false; // NoPort: it opened, then was lost or troubled while asked

    // NoPort for a port that is not there to be opened (no device, not a
    // terminal, not this user's): nothing can reach a scanner through it, and
    // opening it for the update says so. A port held by another program is
    // no such port: it may be free a moment later.
    bool portAbsent() const { return kind == Kind::NoPort && !portOpened && !portBusy; }
    bool portBusy = false; // NoPort: another program held it
};

// What one rate of the question heard: every byte that came from the
// question until its window closed, and whether the port stayed open and
// ours alone all that time.
struct RateReading {
    int baud = 0;
    QByteArray bytes;
    bool held = true;
    bool opened = true; // not held: whether the port had opened at all
    bool busy = false;  // not held: another program held it
    QString error;      // not held: why
};

// The only rate the old boot software greets at ("Z").
inline constexpr int kOldBootBaud = 19200;

// The letter of a clean greeting at baud: bytes that are all one boot
// software's greeting letter, at the rate that boot software speaks ("Q" or
// "A" at 38400, "Z" at 19200); 0 for anything else.
char cleanGreeting(const QByteArray &bytes, int baud);
// Whether bytes heard at baud are what the old boot software's "Z" at 19200
// sounds like at another rate: bytes with their top bit set, nothing else.
bool soundsLikeOldBootAt(const QByteArray &bytes, int baud);
// Whether bytes are exactly the identity answer of some model at baud.
bool isIdentityAt(const QByteArray &bytes, int baud, const ScannerModels &models);

// The answer the readings make, in the order the rates were asked. A model
// only for exactly its answer at its own rate after silence at the rates
// before; a greeting only for a boot software's letters at the rate it
// greets at (a "Z" heard at 19200 also explains the high bytes it makes at
// 38400); silence only for no byte at all; anything else is Unknown, and a
// port not held is NoPort.
IdentityAnswer classifyIdentity(const std::vector<RateReading> &readings, const ScannerModels &models);

// A Jorlith in its compatibility mode answers any row of its rate (19200)
// with its compatibility answer or its own identity, CR LF included: the
// family whose answer that is at model's rate, or null.
const ScannerFamily *compatibilityFamily(const ScannerModel &model, const QByteArray &answer);

// The longest the scanner may take to answer "V" (the command table's wait).
std::chrono::milliseconds identityAnswerBound();
// How much longer each rate listens, so that an answer a little late is
// still heard (and refused unless it is exact) rather than missed.
inline constexpr std::chrono::milliseconds kIdentityGrace{300};
// How long the port is listened to before the question: what arrives then
// (the last acknowledgement of a program that has just ended) is no answer
// to it and is set aside.
inline constexpr std::chrono::milliseconds kIdentitySettle{100};

// An answer for a person: printable ASCII as it is, CR and LF as \r \n,
// anything else as \xNN, quotes and backslashes escaped.
QString shownAnswer(const QByteArray &bytes);

// Asks the scanner on port n, on a new port of like's kind (like itself is
// not touched; the port is held open from the first rate to the last and
// closed again before this returns). Every rate of the model table is tried
// in the table's order until one gives a model's answer; each listens for the
// whole bound and the grace, so that nothing after an answer goes unheard.
// The clock's waits ending (the program is told to end) leaves the port
// not held.
IdentityAnswer askIdentity(const SerialPort &like, int n, Clock &clock, const ScannerModels &models,
                           std::chrono::milliseconds bound = identityAnswerBound());

} // namespace romwright
