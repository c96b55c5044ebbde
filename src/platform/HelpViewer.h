#pragma once
// The compiled-help viewer as the help class reaches it: one call that takes
// an owner window, a file argument ("file.chm", "file.chm>window" or
// "file.chm::/popups.txt"), a command number and its data, and returns the
// handle of the help window it showed (0 when it showed none). Besides that,
// the few window-system services the help class needs.

#include <QPoint>
#include <QString>
#include <cstdint>
#include <variant>

namespace romwright {

// Native window handle; 0 means none (the desktop as owner).
using WindowHandle = std::uintptr_t;

// Command numbers of the viewer call.
enum class HelpCommand : int {
    DisplayTopic = 0,
    DisplayToc = 1,
    DisplayIndex = 2,
    DisplaySearch = 3,
    KeywordLookup = 13,
    DisplayTextPopup = 14,
    HelpContext = 15,
    CloseAll = 18,
    ALinkLookup = 19,
};

// Keyword or associative-link look-up. Empty texts stand for "none".
struct HelpLinkQuery {
    QString keywords; // one or more, separated by ';'
    QString url;      // page shown when nothing is found
    QString msgText;  // or: message shown when nothing is found ...
    QString msgTitle; // ... with this caption
    QString window;   // window type to show the result in
    bool indexOnFail = false;
    bool operator==(const HelpLinkQuery &) const = default;
};

// Full-text search request.
struct HelpSearchQuery {
    QString text;
    bool execute = true;
    bool operator==(const HelpSearchQuery &) const = default;
};

// A text pop-up. Colours are 0x00BBGGRR; -1 margins leave them to the viewer.
struct HelpPopup {
    std::uint32_t resourceId = 0; // string resource or topic number inside a pop-up file
    QString text;                 // literal text (when resourceId is 0)
    QPoint position;              // screen position of the pop-up
    std::uint32_t foreground = 0;
    std::uint32_t background = 0;
    int marginLeft = -1, marginTop = -1, marginRight = -1, marginBottom = -1;
    QString font; // "face, size, charset, styles", e.g. "Arial, 10, ascii, Bold "
    bool operator==(const HelpPopup &) const = default;
};

// Data of a command: nothing, a page (DisplayTopic), a topic number
// (HelpContext), a look-up, a search or a pop-up.
using HelpData =
    std::variant<std::monostate, QString, std::uint32_t, HelpLinkQuery, HelpSearchQuery, HelpPopup>;

class HelpViewer {
public:
    virtual ~HelpViewer() = default;

    // The viewer call. A failure returns 0; the caller goes on regardless.
    virtual WindowHandle htmlHelp(WindowHandle owner, const QString &file, HelpCommand command,
                                  const HelpData &data) = 0;

    // False when the help file is there but cannot be read (damaged, empty or
    // cut short); the help class then warns instead of calling the viewer.
    virtual bool helpFileIsSound(const QString &file) const = 0;

    // Removes the item with command number commandId from the window's system menu.
    virtual void deleteSystemMenuItem(WindowHandle window, int commandId) = 0;

    // Puts the window into What's-This help mode (the system's context-help command).
    virtual void enterWhatsThisMode(WindowHandle window) = 0;

    // The mouse position on the screen.
    virtual QPoint cursorPosition() const = 0;

    // The version of an installed component's file ("4.74.8702.00"), or an
    // empty text when the file carries none.
    virtual QString fileVersion(const QString &path) const = 0;
};

} // namespace romwright
