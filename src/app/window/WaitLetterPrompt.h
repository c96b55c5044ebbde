#pragma once
// The hidden service prompt: after three releases of V, E or K (any order,
// any mix) every key release asks which letter the "Q" greeting wait expects.

#include <QString>

namespace romwright {

class Dialogs;

class WaitLetterPrompt {
public:
    static constexpr const char *kPrompt = "Enter the letter to wait for.";
    static constexpr const char *kTitle = "Q or A?";

    // Key codes as the window reports them (Qt::Key_V is 86).
    static constexpr int kKeyV = 86;
    static constexpr int kKeyE = 69;
    static constexpr int kKeyK = 75;

    // One key release seen by the window. Asks when due and stores the answer
    // in sLetterQ unchanged (Cancel stores an empty text). Returns true when asked.
    bool keyReleased(int keyCode, Dialogs &dialogs, QString &sLetterQ);

    int count() const { return m_count; }

private:
    // Stops at 32767 rather than wrapping back below 3.
    int m_count = 0;
};

} // namespace romwright
