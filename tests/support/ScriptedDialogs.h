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

    bool question(const QString &text, const QString &title, MessageIcon icon) override
    {
        questions.push_back({text, title, icon});
        if (questionAnswers.empty())
            return false;
        const bool yes = questionAnswers.front();
        questionAnswers.pop_front();
        return yes;
    }

    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override
    {
        inputPrompts.push_back(prompt + QLatin1Char('|') + title + QLatin1Char('|') + defaultText);
        return take(inputAnswers);
    }

    QString openFile(const QString &title, const QString &filter, const QString &initialFolder) override
    {
        openRequests.push_back(title + QLatin1Char('|') + filter + QLatin1Char('|') + initialFolder);
        return take(openAnswers);
    }

    std::optional<QString> chooseScanner() override
    {
        ++chooserShown;
        if (chooserAnswers.empty())
            return QStringLiteral("Halvern1450");
        // Unpacked by hand: copying the optional itself trips a false
        // "maybe uninitialized" warning in GCC 12 at -O2.
        const bool exit = !chooserAnswers.front().has_value();
        const QString model = exit ? QString() : *chooserAnswers.front();
        chooserAnswers.pop_front();
        if (exit)
            return std::nullopt;
        return model;
    }

    std::vector<ShownMessage> messages;
    std::vector<ShownMessage> questions;
    QStringList inputPrompts;
    QStringList openRequests;
    int chooserShown = 0;

    std::deque<bool> questionAnswers; // No once they run out
    std::deque<QString> inputAnswers;
    std::deque<QString> openAnswers;
    std::deque<std::optional<QString>> chooserAnswers;
    std::function<void(const ShownMessage &)> onMessage; // e.g. to act at the power-cycle prompt

private:
    static QString take(std::deque<QString> &queue)
    {
        if (queue.empty())
            return QString();
        QString answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

} // namespace romwright::test
