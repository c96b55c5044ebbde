#pragma once
// What an update's events look like: the window's lamps, enabled controls,
// hourglass, progress bar and message boxes, shown through the front end's
// MainView and Dialogs. The window, the console and the tests all show an
// update through one of these; a front end adds what only it says (progress
// lines, JSON, the status line) as a listener of its own. UpdateAnswers
// answers the update's questions through the same view and dialogs.

#include "flash/UpdateDecisions.h"
#include "flash/UpdateEvents.h"

#include <array>
#include <functional>

namespace romwright {

class Dialogs;
class MainView;
struct ProgramFlags;

// The interruption's message for a phase (signal, closed window, end of input).
const char *interruptionText(UpdatePhase phase);

class UpdateController : public UpdateEvents {
public:
    // flags: which processor of a Wexmoor was updated, for the completion.
    UpdateController(MainView &view, Dialogs &dialogs, const ProgramFlags &flags);

    void started() override;
    void stopped(UpdateStop why) override;
    void retrying() override;
    void step(UpdateStep step) override;
    void routeBegins() override;
    void connected() override;
    void erased() override;
    void progress(const TransferProgress &progress) override;
    void passDone(Pass pass) override;
    void answeredAfterUpdate(const std::optional<QString> &name) override;
    void ended(Outcome end, UpdatePhase phase, const std::optional<UpdateFailure> &failure) override;

    // The sentence for what the scanner answered after the update.
    static QString answerText(const std::optional<QString> &name);

    // Whether the completion message carries what the scanner answered
    // after the update; false where the front end says it itself.
    bool answerInCompletion = true;
    // Said after kTimedOut (what to check); unset or empty: nothing.
    std::function<QString()> timedOutAdvice;

private:
    void stop(bool portMenu);

    MainView &m_view;
    Dialogs &m_dialogs;
    const ProgramFlags &m_flags;
    // cmdBrowse and the processor options as they were at the click.
    std::array<bool, 3> m_lockedBefore{};
    std::optional<std::optional<QString>> m_answered; // asked after the update, and its answer
};

// The update's questions a front end answers through its view and dialogs:
// whether a file is chosen, the power cycle (Dialogs::powerCycle). The rest
// keep UpdateDecisions' answers unless a subclass knows better.
class UpdateAnswers : public UpdateDecisions {
public:
    UpdateAnswers(MainView &view, Dialogs &dialogs) : m_view(view), m_dialogs(dialogs) {}

    bool fileChosen() const override;
    bool powerCycle() override;

protected:
    MainView &m_view;
    Dialogs &m_dialogs;
};

} // namespace romwright
