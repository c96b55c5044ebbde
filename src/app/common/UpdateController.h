#pragma once
// What an update's events look like: the window's lamps, enabled controls,
// hourglass, progress bar and message boxes, shown through the front end's
// MainView and Dialogs. The window, the console and the tests all show an
// update through one of these; a front end adds what only it says (progress
// lines, JSON, the power-cycle prompt on a terminal) through the hooks.

#include "flash/UpdateEvents.h"

#include <array>
#include <functional>

namespace romwright {

class Dialogs;
class MainView;
class UpdateInputs;

// The interruption's message for a phase (signal, closed window, end of input).
const char *interruptionText(UpdatePhase phase);

class UpdateController : public UpdateEvents {
public:
    // inputs: whether a file is chosen, the model for the wrong-model
    // message, and which processor of a Wexmoor was updated, for the completion.
    UpdateController(MainView &view, Dialogs &dialogs, const UpdateInputs &inputs);

    void started() override;
    bool fileChosen() const override;
    void stopped(UpdateStop why) override;
    void retrying() override;
    void step(UpdateStep step) override;
    void routeBegins() override;
    void connected() override;
    void erased() override;
    void progress(const TransferProgress &progress) override;
    void passDone(Pass pass) override;
    bool powerCycle() override;
    void answeredAfterUpdate(const std::optional<QString> &name) override;
    void ended(Outcome end, UpdatePhase phase, const std::optional<UpdateFailure> &failure) override;

    // The sentence for what the scanner answered after the update.
    static QString answerText(const std::optional<QString> &name);

    // The power-cycle prompt. Unset, the message is shown and the update
    // goes on; a front end without a person may answer false, which ends it.
    std::function<bool(const QString &text, const QString &title)> powerCyclePrompt;
    // A step begins (before the window shows it); after the window has shown the progress.
    std::function<void(UpdateStep)> onStep;
    std::function<void(const TransferProgress &)> onProgress;
    // What the scanner answered after the update. Unset, the completion
    // message carries it; set, the front end says it itself.
    std::function<void(const std::optional<QString> &)> onAnswered;
    // Said after kTimedOut (what to check); unset or empty: nothing.
    std::function<QString()> timedOutAdvice;

private:
    void stop(bool portMenu);

    MainView &m_view;
    Dialogs &m_dialogs;
    const UpdateInputs &m_inputs;
    // cmdBrowse and the processor options as they were at the click.
    std::array<bool, 3> m_lockedBefore{};
    std::optional<std::optional<QString>> m_answered; // asked after the update, and its answer
};

} // namespace romwright
