#include "app/gui/help/WindowHelp.h"

#include "app/gui/help/WidgetHelpViewer.h"
#include "help/HelpMenu.h"

namespace romwright {

WindowHelp::WindowHelp(Dialogs &dialogs, QString programFolder, std::unique_ptr<Registry> registry)
    : m_dialogs(dialogs), m_programFolder(std::move(programFolder)),
      m_registry(registry ? std::move(registry) : makeSettingsRegistry()),
      m_viewer(std::make_unique<WidgetHelpViewer>(dialogs))
{
}

WindowHelp::~WindowHelp() = default;

HTMLHelp &WindowHelp::help()
{
    if (!m_help)
        m_help = std::make_unique<HTMLHelp>(*m_viewer, m_dialogs, *m_registry, m_files, m_programFolder);
    return *m_help;
}

void WindowHelp::viewHelpFile()
{
    romwright::viewHelpFile(help(), m_programFolder);
}

void WindowHelp::unload()
{
    closeHelp(help());
}

} // namespace romwright
