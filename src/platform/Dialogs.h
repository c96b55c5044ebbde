#pragma once
// Every question the program asks. The window shows real dialogs, the
// console asks on the terminal, tests script the answers.

#include "platform/Types.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace romwright {

// A question asked with Dialogs::ask, open while the program goes on.
// Destroying it withdraws the question unanswered if it is still open.
class OpenQuestion {
public:
    virtual ~OpenQuestion() = default;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box with an OK button only; returns when it is closed.
    // An empty title shows kApplicationTitle.
    virtual void message(const QString &text, const QString &title, MessageIcon icon) = 0;

    // A question with Yes and No buttons, No the default unless said; true for Yes.
    virtual bool question(const QString &text, const QString &title, MessageIcon icon,
                          DefaultAnswer defaultAnswer = DefaultAnswer::No) = 0;

    // The same question without waiting for the answer: it returns at once,
    // and answered (true for Yes) is called once the user has answered,
    // unless the question was withdrawn first. Where nobody is asked (no
    // person, a script) answered is called before ask returns, which then
    // returns null.
    virtual std::unique_ptr<OpenQuestion> ask(const QString &text, const QString &title, MessageIcon icon,
                                              DefaultAnswer defaultAnswer,
                                              std::function<void(bool yes)> answered) = 0;

    // The new boot software waits for the scanner to be switched off and on:
    // true once the user says it was, false ends the update. Unless the
    // front end asks its own way, the text is shown and the update goes on.
    virtual bool powerCycle(const QString &text, const QString &title)
    {
        message(text, title, MessageIcon::None);
        return true;
    }

    // Input box; Cancel answers an empty text.
    virtual QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) = 0;

    // Open dialog for one existing file; an empty text when cancelled.
    // filter is "Description|pattern", e.g. "Halvern Firmware Files|H*.S19",
    // or empty for none.
    virtual QString openFile(const QString &title, const QString &filter, const QString &initialFolder) = 0;

    // The scanner chooser: "Halvern1450", "Jorlith750" or "Wexmoor 3650";
    // an empty text when closed without a choice (close button, Esc), which
    // answers nothing; nullopt when the user pressed Exit, which ends the program.
    virtual std::optional<QString> chooseScanner() = 0;
};

} // namespace romwright
