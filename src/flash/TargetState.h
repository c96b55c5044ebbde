#pragma once
// What the main window knows about the boot software it talks to.

#include "family/BootLetters.h"

#include <QString>

namespace romwright {

struct TargetState {
    QString sLetterQ{QLatin1Char(letter::kGreeting64)}; // the hidden prompt may change it
    QString sLetterA{QLatin1Char(letter::kGreeting128)};
    bool bTargetA = false; // the start-up greeting was sLetterA: 128-byte blocks
};

} // namespace romwright
