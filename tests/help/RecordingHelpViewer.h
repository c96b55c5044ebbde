#pragma once
// A help viewer that records every call and answers with a window handle.

#include "platform/HelpViewer.h"

#include <QMap>
#include <QSet>
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
        return answer;
    }
    bool helpFileIsSound(const QString &file) const override { return !damaged.contains(file); }
    void deleteSystemMenuItem(WindowHandle window, int commandId) override
    {
        deletedMenuItems.push_back({window, commandId});
    }
    void enterWhatsThisMode(WindowHandle window) override { whatsThisWindows.push_back(window); }
    QPoint cursorPosition() const override { return cursor; }
    QString fileVersion(const QString &path) const override { return versions.value(path); }

    std::vector<HelpCall> calls;
    std::vector<std::pair<WindowHandle, int>> deletedMenuItems;
    std::vector<WindowHandle> whatsThisWindows;
    WindowHandle answer = 0x1234;
    QPoint cursor{40, 50};
    QMap<QString, QString> versions;
    QSet<QString> damaged;
};

} // namespace romwright::test
