#pragma once
// A help viewer that records every call and answers with a window handle.

#include "platform/HelpViewer.h"

#include <vector>

namespace romwright::test {

struct HelpCall {
    WindowHandle owner = 0;
    QString file;
    HelpCommand command = HelpCommand::DisplayTopic;
    HelpData data;
};

class RecordingHelpViewer : public HelpViewer {
public:
    WindowHandle htmlHelp(WindowHandle owner, const QString &file, HelpCommand command,
                          const HelpData &data) override
    {
        calls.push_back({owner, file, command, data});
        return 0x1234;
    }
    bool helpFileIsSound(const QString &) const override { return true; }
    void deleteSystemMenuItem(WindowHandle, int) override {}
    void enterWhatsThisMode(WindowHandle) override {}
    QPoint cursorPosition() const override { return {}; }
    QString fileVersion(const QString &) const override { return {}; }

    std::vector<HelpCall> calls;
};

} // namespace romwright::test
