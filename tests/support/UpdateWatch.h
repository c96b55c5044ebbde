#pragma once
// A listener for what a test looks at as an update goes, told each event
// before the others for as long as it lives; a hook unset hears nothing.

#include "flash/UpdateSequence.h"

#include <functional>

namespace romwright::test {

struct UpdateWatch : UpdateEvents {
    explicit UpdateWatch(UpdateSequence &update) : update(update) { update.listen(*this, true); }
    ~UpdateWatch() override { update.stopListening(*this); }
    void step(UpdateStep step) override { onStep ? onStep(step) : void(); }
    void firmwareWritten() override { onWritten ? onWritten() : void(); }
    void finished(Outcome outcome) override { onFinished ? onFinished(outcome) : void(); }
    UpdateSequence &update;
    std::function<void(UpdateStep)> onStep;
    std::function<void()> onWritten;
    std::function<void(Outcome)> onFinished;
};

} // namespace romwright::test
