#pragma once
// The help viewer the window gives its help object: one viewer window per
// help file, reused by later calls, plus the text pop-ups.

#include "platform/Dialogs.h"
#include "platform/HelpViewer.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <functional>

namespace romwright {

class HelpViewerWindow;
class HelpPopupWindow;

class WidgetHelpViewer : public HelpViewer {
public:
    // dialogs shows the "not found" message of a keyword look-up.
    explicit WidgetHelpViewer(Dialogs &dialogs);
    ~WidgetHelpViewer() override;

    WindowHandle htmlHelp(WindowHandle owner, const QString &file, HelpCommand command,
                          const HelpData &data) override;
    bool helpFileIsSound(const QString &file) const override;
    // Our windows carry no system menu with a jump item, so there is nothing to remove.
    void deleteSystemMenuItem(WindowHandle window, int commandId) override;
    void enterWhatsThisMode(WindowHandle window) override;
    QPoint cursorPosition() const override;
    // The platform keeps no version resources in component files here.
    QString fileVersion(const QString &path) const override;

    // The program's string resources, for pop-ups by resource number.
    void setStringResources(std::function<QString(std::uint32_t)> lookUp) { m_strings = std::move(lookUp); }

    // The open viewer window of a help file, or nullptr.
    HelpViewerWindow *windowFor(const QString &file) const;
    QList<HelpViewerWindow *> windows() const;
    HelpPopupWindow *popup() const;

private:
    HelpViewerWindow *openWindow(const QString &file, WindowHandle owner);
    WindowHandle showPopup(WindowHandle owner, const QString &file, const HelpPopup &popup);
    bool lookUp(HelpViewerWindow &window, const HelpLinkQuery &query);
    void closeAll();

    Dialogs &m_dialogs;
    QHash<QString, QPointer<HelpViewerWindow>> m_windows;
    QPointer<HelpPopupWindow> m_popup;
    std::function<QString(std::uint32_t)> m_strings;
};

} // namespace romwright
