#pragma once
// The help viewer the window hands its help object: the system's own where
// the system has one (Windows), else the window's viewer of the compiled
// help file. One unit per system defines it.

#include "platform/Dialogs.h"
#include "platform/HelpViewer.h"

#include <memory>

namespace romwright {

std::unique_ptr<HelpViewer> makeSystemHelpViewer(Dialogs &dialogs);

} // namespace romwright
