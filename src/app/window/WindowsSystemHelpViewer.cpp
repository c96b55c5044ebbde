#include "app/window/SystemHelpViewer.h"

#include "platform/WindowsHelpViewer.h"

namespace romwright {

// F1 opens the system's help window; the viewer's own dialogs are its own.
std::unique_ptr<HelpViewer> makeSystemHelpViewer(Dialogs &)
{
    return std::make_unique<WindowsHelpViewer>();
}

} // namespace romwright
