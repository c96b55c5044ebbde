#pragma once
// Message boxes as lines "TITLE: TEXT"; the power-cycle prompt waits for
// Enter on standard input, or goes on at once when told to.

#include "app/console/ConsoleReport.h"
#include "platform/Dialogs.h"

#include <cstdio>
#include <functional>

namespace romwright {

class ConsoleDialogs : public Dialogs {
public:
    ConsoleDialogs(std::FILE *out, std::FILE *in, bool yes);

    void message(const QString &text, const QString &title, MessageIcon icon) override;
    // Not asked on the terminal: the default, No.
    bool question(const QString &text, const QString &title, MessageIcon icon,
                  DefaultAnswer defaultAnswer = DefaultAnswer::No) override;
    // Answered at once, as question is. Nothing asks it here: a signal, not
    // a close box, ends an update on the terminal.
    std::unique_ptr<OpenQuestion> ask(const QString &text, const QString &title, MessageIcon icon,
                                      DefaultAnswer defaultAnswer,
                                      std::function<void(bool yes)> answered) override;
    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override;
    QString openFile(const QString &title, const QString &filter, const QString &initialFolder) override;
    std::optional<QString> chooseScanner() override;

    // The chooser's answer given in advance (its Model text); the question is then not asked.
    void setChooserAnswer(const QString &model) { m_chooserAnswer = model; }

    // Shows the prompt and waits for Enter (--yes: goes on at once); false
    // when standard input ended before Enter.
    bool powerCycle(const QString &text, const QString &title) override;
    // An unfinished update found at start-up: says TEXT and goes on at once
    // with --yes, else after Enter; false when standard input ended first.
    bool finishPrompt(const QString &text);

    // Called before a message is printed.
    std::function<void()> beforePrint;
    // When set and in JSON mode, messages and prompts are events there.
    ConsoleReport *report = nullptr;

private:
    bool json() const { return report && report->json(); }
    void prompt(const QString &kind, const QString &text, const QString &title);
    // LINE as it is for people; an error event in JSON mode.
    void say(const char *line);
    // True for Enter, false for the end of standard input (said with
    // endOfInput) or a signal.
    bool waitForEnter(const QByteArray &endOfInput);

    std::FILE *m_out;
    std::FILE *m_in;
    bool m_yes;
    QString m_chooserAnswer;
    bool m_inputEnded = false; // the chooser met the end of standard input
};

} // namespace romwright
