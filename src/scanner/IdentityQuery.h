#pragma once
// One question of a scanner's identity ("V" CR LF) on one port, at the model
// table's rates, each answer awaited as long as the command table allows it.
// Detection asks many ports at once with its short row wait; this asks one
// port before anything is sent that could change the scanner, so no late
// answer is lost and an answer nobody knows is kept as it came.

#include "family/ScannerFamilies.h"
#include "platform/Clock.h"

#include <QByteArray>
#include <QString>

#include <chrono>

namespace romwright {

class ScannerModels;
struct ScannerModel;
class SerialPort;

struct IdentityAnswer {
    enum class Kind {
        Model,      // a model's own identity answer (or a Jorlith's compatibility answer)
        Unknown,    // an answer that names no model this program knows
        BootPrompt, // the prompt letter of a boot software, which cannot name the model
        Silent,     // nothing within the bound at any rate
        NoPort,     // the port did not open
    };
    Kind kind = Kind::Silent;
    QString model; // Model: as the window shows it ("Jorlith 750")
    qint32 typeOfScanner = kNotDetected;
    QByteArray raw;    // Unknown: the bytes as they came; BootPrompt: the letters, its prompt last
    QString portError; // NoPort: why

    // The scanner itself tells which model it is.
    bool tells() const { return kind == Kind::Model; }
    // What the program may take from the chooser or a name given: nothing
    // came, or only a boot software's prompt.
    bool cannotTell() const { return kind == Kind::BootPrompt || kind == Kind::Silent; }
};

// A Jorlith in its compatibility mode answers any row of its rate (19200)
// with its compatibility answer or its own identity, CR LF included: the
// family whose answer that is at model's rate, or null.
const ScannerFamily *compatibilityFamily(const ScannerModel &model, const QByteArray &answer);

// The longest the scanner may take to answer "V" (the command table's wait).
std::chrono::milliseconds identityAnswerBound();

// An answer for a person: printable ASCII as it is, CR and LF as \r \n,
// anything else as \xNN, quotes and backslashes escaped.
QString shownAnswer(const QByteArray &bytes);

// Asks the scanner on port n, on a new port of like's kind (like itself is
// not touched; the port is closed again before this returns). Every rate of
// the model table is tried in the table's order until one gives an answer
// that names a model; each waits until the line end arrives, the bound
// passes or the clock's waits end.
IdentityAnswer askIdentity(const SerialPort &like, int n, Clock &clock, const ScannerModels &models,
                           std::chrono::milliseconds bound = identityAnswerBound());

} // namespace romwright
