#pragma once
// What the main window knows about the boot software it talks to.

#include <QString>

namespace romwright {

struct TargetState {
    QString sLetterQ =
        QStringLiteral("Q"); // greeting of the 64-byte bootloader; the hidden prompt may change it
    QString sLetterA = QStringLiteral("A"); // greeting of the 128-byte bootloader
    bool bTargetA = false;                  // the start-up greeting was sLetterA: 128-byte blocks
};

} // namespace romwright
