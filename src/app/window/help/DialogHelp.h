#pragma once
// F1 in one of the program's dialogs (its message boxes and questions, the
// scanner chooser, the About box, the Open dialog) opens the help at that
// dialog's page. The main window's F1 stays with its Help menu.

#include "platform/HelpViewer.h"

#include <QObject>
#include <functional>

namespace romwright {

class DialogHelp : public QObject {
public:
    // open shows page, owned by the dialog's window.
    using OpenPage = std::function<void(const QString &page, WindowHandle owner)>;

    // Watches the whole application's keys while it lives.
    explicit DialogHelp(OpenPage open, QObject *parent = nullptr);
    ~DialogHelp() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    OpenPage m_open;
};

} // namespace romwright
