#pragma once
// The scanner chooser's question for front ends without a window: the
// choices as numbered text and the answers a person may type.

#include "family/ScannerFamilies.h"

#include <QString>
#include <optional>

namespace romwright {

inline constexpr const char *kChooseScannerTitle = "Choose Your Scanner";

// "1 Halvern 1450, 2 Jorlith 750, 3 Wexmoor 3650, 0 Exit"
QString chooserQuestion();

enum class ChooserReply { Model, Exit, Unknown };

struct ChooserAnswer {
    ChooserReply reply = ChooserReply::Unknown;
    QString model; // the chooser's Model text ("Halvern1450", "Jorlith750", "Wexmoor 3650") for Model
};

// Understands the number of a choice, the family ("jorlith") or the model
// ("Jorlith 750", "Jorlith750"), in any case and with blanks around it;
// "0" or "exit" is Exit.
ChooserAnswer parseChooserAnswer(const QString &text);

// The model as the window shows it ("Halvern 1450") for any answer that
// names one; empty otherwise.
QString modelShownFor(const QString &text);

// The families as a typed answer may name them in short: "halvern, jorlith or wexmoor".
QString familyWords();

// The family of the chooser's Model ("Jorlith750"); any other text is read
// as the last button, the one without a text of its own to compare.
const ScannerFamily &familyChosen(const QString &model);

} // namespace romwright
