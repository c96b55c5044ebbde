#pragma once
// Dialogs for tests: records every message and answers from a script.

#include "platform/Dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace romwright::test {

struct ShownMessage {
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
};

class ScriptedDialogs : public Dialogs {
public:
    void message(const QString &text, const QString &title, MessageIcon icon) override
    {
        messages.push_back({text, title, icon});
        if (onMessage)
            onMessage(messages.back());
    }
    bool question(const QString &text, const QString &title, MessageIcon icon,
                  DefaultAnswer = DefaultAnswer::No) override
    {
        questions.push_back({text, title, icon});
        return next(questionAnswers, false);
    }
    // Answered at once from the script, or left open by askThrough.
    std::unique_ptr<OpenQuestion> ask(const QString &text, const QString &title, MessageIcon icon,
                                      DefaultAnswer defaultAnswer,
                                      std::function<void(bool)> answered) override
    {
        questions.push_back({text, title, icon});
        if (askThrough)
            return askThrough->ask(text, title, icon, defaultAnswer, std::move(answered));
        answered(next(questionAnswers, false));
        return nullptr;
    }
    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override
    {
        inputPrompts.push_back(QStringList{prompt, title, defaultText}.join(QLatin1Char('|')));
        return next(inputAnswers, QString());
    }
    QString openFile(const QString &title, const QString &filter, const QString &initialFolder) override
    {
        openRequests.push_back(QStringList{title, filter, initialFolder}.join(QLatin1Char('|')));
        return next(openAnswers, QString());
    }
    std::optional<QString> chooseScanner() override
    {
        ++chooserShown;
        for (;;) {
            if (chooserAnswers.empty())
                return QStringLiteral("Halvern1450");
            std::optional<QString> answer;
            answer.swap(chooserAnswers.front());
            chooserAnswers.pop_front();
            // Exit refused by the check: the chooser stays open for the next answer.
            if (answer || !chooserExitCheck || chooserExitCheck())
                return answer;
        }
    }
    bool powerCycle(const QString &text, const QString &title) override
    {
        return powerCycleAnswer ? powerCycleAnswer() : Dialogs::powerCycle(text, title);
    }

    std::vector<ShownMessage> messages;
    std::vector<ShownMessage> questions;
    QStringList inputPrompts;
    QStringList openRequests;
    int chooserShown = 0;

    std::deque<bool> questionAnswers; // No once they run out
    std::deque<QString> inputAnswers;
    std::deque<QString> openAnswers;
    std::deque<std::optional<QString>> chooserAnswers; // nullopt: Exit, "": closed; Halvern once they run out
    std::function<bool()> chooserExitCheck;            // as the chooser's own: false keeps it open
    std::function<bool()> powerCycleAnswer;            // unset: the prompt is a message, then yes
    Dialogs *askThrough = nullptr;                     // asks what ask asks, e.g. as real dialogs
    std::function<void(const ShownMessage &)> onMessage; // while the box would be up

private:
    template <typename T> static T next(std::deque<T> &queue, T otherwise)
    {
        if (queue.empty())
            return otherwise;
        T answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }
};

} // namespace romwright::test
