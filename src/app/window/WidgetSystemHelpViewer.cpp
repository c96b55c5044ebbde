#include "app/window/SystemHelpViewer.h"

#include "app/window/help/WidgetHelpViewer.h"

namespace romwright {

std::unique_ptr<HelpViewer> makeSystemHelpViewer(Dialogs &dialogs)
{
    return std::make_unique<WidgetHelpViewer>(dialogs);
}

} // namespace romwright
