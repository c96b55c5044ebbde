#pragma once
// The one gate every path passes before it sends the first byte that could
// change a scanner (the restart request of start-up's identification or of
// an update): in the window, the console, each scanner of a several-scanner
// run, an update resumed from its record, and --check, which stops after it.
// The scanner's own identity answer decides which model it is; whatever a
// chooser, --model, the window's command line or a record claims is only
// taken where the scanner cannot tell.

#include "scanner/IdentityQuery.h"

#include <QString>

namespace romwright {

// %1 the port, %2 the model the scanner answered as, %3 the model claimed.
inline constexpr const char *kAnswersAsAnotherModel = "The scanner on port %1 answers as %2, not %3.";
// %1 the port, %2 the answer as it came (escaped).
inline constexpr const char *kAnswersUnknown =
    "The scanner on port %1 answers \"%2\", which is the answer of no scanner model the Romwright knows.";
// %1 the port, %2 why it could not be read.
inline constexpr const char *kPortUnreadable =
    "Port %1 could not be read to the end of the scanner's answer: %2.";
// Follows every refusal of the gate.
inline constexpr const char *kNothingChanged = " Nothing was sent that could change the scanner.";
// %1 the record's sentence, %2 what its port answers now.
inline constexpr const char *kRecordSetAside = "%1 %2 The record is kept for that scanner and not used now.";
// %1 the model, which has one processor only.
inline constexpr const char *kNoBarCodeProcessor = "The %1 has no BarCode processor.";

struct ModelDecision {
    enum class Kind {
        Go,            // the update is for `model`
        Contradiction, // the scanner answered as another model than the one claimed
        Choose,        // the scanner cannot tell and nothing was claimed: ask which model it is
        Refused,       // the port could not be read cleanly: nothing may go on, whatever anyone says
    };
    Kind kind = Kind::Choose;
    QString model; // Go: the model; Contradiction: the model the scanner answered as ("" for none)
    qint32 typeOfScanner = kNotDetected;
    QString text; // Contradiction, Refused: what is said
};

// What the scanner on port answered, against the model claimed for it
// (as the window shows it, "" for none).
ModelDecision decideModel(const IdentityAnswer &answer, const QString &claimed, int port);

// The identity of a scanner that detection found by its own answer.
IdentityAnswer identityOfModel(const QString &model);

} // namespace romwright
