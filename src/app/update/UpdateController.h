#pragma once
// What an update's events look like: the window's lamps, enabled controls,
// hourglass, progress bar and message boxes, shown through the front end's
// MainView and Dialogs. The window, the console and the tests all show an
// update through one of these; a front end adds what only it says (progress
// lines, JSON, the status line) as a listener of its own. UpdateAnswers
// answers the update's questions from the same inputs and dialogs.

#include "flash/UpdateDecisions.h"
#include "flash/UpdateEvents.h"

#include <array>
#include <functional>

namespace romwright {

class Dialogs;
class MainView;
class UpdateInputs;

// The interruption's message for a phase (signal, closed window, end of
// input). restarted: a request has restarted the scanner into its boot
// software; recordKept: the record of the update stands to finish it.
const char *interruptionText(UpdatePhase phase, bool restarted = false, bool recordKept = false);

class UpdateController : public UpdateEvents {
public:
    // inputs: whether a file is chosen, the model for the wrong-model
    // message, and which processor of a Wexmoor was updated, for the completion.
    UpdateController(MainView &view, Dialogs &dialogs, const UpdateInputs &inputs);

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

    // PROGRAM's click, before the update begins (the identity question, the
    // chooser, an identification): PROGRAM, EXIT, "....", the processor
    // options and the menus take nothing until the update locks them itself
    // or the click ends without one (unlockClick puts them back as they were).
    // The update, when it begins, takes them over locked, and what it puts
    // back at its end is what they were at the click.
    void lockClick();
    void unlockClick();

    // The sentence for what the scanner answered after the update.
    static QString answerText(const std::optional<QString> &name);

    // Whether the completion message carries what the scanner answered
    // after the update; false where the front end says it itself.
    bool answerInCompletion = true;
    // Said after kTimedOut (what to check); unset or empty: nothing.
    std::function<QString()> timedOutAdvice;
    // Said after a stall's or a lost line's message (which port it was); unset or empty: nothing.
    std::function<QString()> lineFailureAdvice;
    // The port the user chose, as the port failure names it ("" for none);
    // unset, the failure names no port.
    std::function<QString()> portChosen;

private:
    void stop(bool portMenu);

    MainView &m_view;
    Dialogs &m_dialogs;
    const UpdateInputs &m_inputs;
    // cmdBrowse and the processor options as they were at the click.
    std::array<bool, 3> m_lockedBefore{};
    std::array<bool, 8> m_clickLocked{}; // the controls as they were at the click
    bool m_clickLockHeld = false;
    std::optional<std::optional<QString>> m_answered; // asked after the update, and its answer
};

// The update's questions a front end answers from its inputs and dialogs:
// whether a file is chosen, the power cycle (Dialogs::powerCycle). The rest
// keep UpdateDecisions' answers unless a subclass knows better.
class UpdateAnswers : public UpdateDecisions {
public:
    UpdateAnswers(const UpdateInputs &inputs, Dialogs &dialogs) : m_inputs(inputs), m_dialogs(dialogs) {}

    bool fileChosen() const override;
    bool powerCycle() override;

protected:
    const UpdateInputs &m_inputs;
    Dialogs &m_dialogs;
};

} // namespace romwright
