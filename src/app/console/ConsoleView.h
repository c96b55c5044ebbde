#pragma once
// The main window's state on a terminal: each lamp that turns green or red is
// printed with its label. While blocks are being sent the "Updating" lamp
// blinks with every block; the progress line stands in for that.

#include "app/console/ConsoleReport.h"
#include "view/ViewState.h"

#include <cstdio>
#include <functional>

namespace romwright {

class ConsoleView : public ViewState {
public:
    explicit ConsoleView(std::FILE *out);

    void setLamp(LampId id, Lamp colour) override;
    void setProgress(int sent, int total) override;
    // A terminal has no labels: the model, port and file are the state's,
    // and the console prints what it has to say of them itself.
    void setText(LabelId, const QString &) override {}

    // Called before a lamp line is printed.
    std::function<void()> beforePrint;
    // When set and in JSON mode, lamps are events there instead of lines.
    ConsoleReport *report = nullptr;

private:
    std::FILE *m_out;
    std::array<Lamp, 7> m_shown{};
    bool m_passRunning = false;
};

// "Port", "File", ... ; empty for the lamp that has no label.
const char *lampLabel(LampId id);

} // namespace romwright
