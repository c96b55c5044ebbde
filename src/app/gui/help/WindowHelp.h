#pragma once
// The main window's help object m_Help with everything it needs: created on
// first use (F1 or the window's unload), it lives as long as the window.
//
//   WindowHelp m_help{dialogs, programFolder()};
//   F1 / Help > View Help File:   m_help.viewHelpFile();
//   window unload (closeEvent):   m_help.unload();

#include "help/HTMLHelp.h"

#include <memory>

namespace romwright {

class WidgetHelpViewer;

class WindowHelp {
public:
    // registry may be null: the user's own registry file is used then.
    WindowHelp(Dialogs &dialogs, QString programFolder, std::unique_ptr<Registry> registry = nullptr);
    ~WindowHelp();

    void viewHelpFile();
    void unload();

    // The help object, created on first use.
    HTMLHelp &help();
    WidgetHelpViewer &viewer() { return *m_viewer; }

private:
    Dialogs &m_dialogs;
    QString m_programFolder;
    std::unique_ptr<Registry> m_registry;
    LocalFileSystem m_files;
    std::unique_ptr<WidgetHelpViewer> m_viewer;
    std::unique_ptr<HTMLHelp> m_help;
};

} // namespace romwright
