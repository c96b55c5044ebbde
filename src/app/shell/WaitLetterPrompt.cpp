#include "app/shell/WaitLetterPrompt.h"

#include "platform/Dialogs.h"

namespace romwright {

bool WaitLetterPrompt::keyReleased(int keyCode, Dialogs &dialogs, QString &sLetterQ)
{
    if ((keyCode == kKeyV || keyCode == kKeyE || keyCode == kKeyK) && m_count < 32767)
        ++m_count;
    if (m_count < 3)
        return false;
    sLetterQ = dialogs.inputBox(QStringLiteral("Enter the letter to wait for."), QStringLiteral("Q or A?"),
                                QStringLiteral("Q"));
    return true;
}

} // namespace romwright
