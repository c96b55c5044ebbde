#pragma once
// The system's compiled-help viewer: HtmlHelpW of hhctrl.ocx, loaded when
// first needed so that a system without it still starts the program (each
// call then shows nothing and returns 0, as a failed viewer call does).

#include "platform/HelpViewer.h"

namespace romwright {

class WindowsHelpViewer final : public HelpViewer {
public:
    WindowsHelpViewer() = default;
    ~WindowsHelpViewer() override;
    WindowsHelpViewer(const WindowsHelpViewer &) = delete;
    WindowsHelpViewer &operator=(const WindowsHelpViewer &) = delete;

    WindowHandle htmlHelp(WindowHandle owner, const QString &file, HelpCommand command,
                          const HelpData &data) override;
    bool helpFileIsSound(const QString &file) const override;
    void deleteSystemMenuItem(WindowHandle window, int commandId) override;
    void enterWhatsThisMode(WindowHandle window) override;
    QPoint cursorPosition() const override;
    QString fileVersion(const QString &path) const override;

private:
    using HtmlHelpFunction = void *(__stdcall *)(void *, const wchar_t *, unsigned int, std::uintptr_t);
    HtmlHelpFunction viewer();

    void *m_library = nullptr;
    HtmlHelpFunction m_htmlHelp = nullptr;
    bool m_loaded = false;
};

} // namespace romwright
