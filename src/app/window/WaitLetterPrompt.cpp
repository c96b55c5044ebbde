#include "app/window/WaitLetterPrompt.h"

#include "family/BootLetters.h"
#include "platform/Dialogs.h"

namespace romwright {

bool WaitLetterPrompt::keyReleased(int keyCode, Dialogs &dialogs, QString &sLetterQ)
{
    if ((keyCode == kKeyV || keyCode == kKeyE || keyCode == kKeyK) && m_count < 32767)
        ++m_count;
    if (m_count < 3)
        return false;
    sLetterQ = dialogs.inputBox(QString::fromLatin1(kPrompt), QString::fromLatin1(kTitle),
                                QString(QLatin1Char(letter::kGreeting64)));
    return true;
}

} // namespace romwright
