#pragma once
// A serial device the user may not open (on Linux: not a member of the group
// that owns it) is told once, with the fix, instead of only a red port lamp
// or "Scanner Not Found".

#include "platform/DeviceAccess.h"

#include <QString>

#include <vector>

namespace romwright {

class Dialogs;

inline constexpr const char *kScannerNotFoundTitle = "Scanner Not Found";

// Names the ports another program holds, as the reason no scanner was found there.
QString portsInUseText(const std::vector<HeldPort> &ports);

class PortPermissionNotice {
public:
    // Names the ports and their devices. Joining a group is advised only when
    // every device belongs to that one group, it may read and write them, and
    // it is not "root"; otherwise the devices' permissions have to change.
    static QString text(const std::vector<RefusedPort> &ports);
    static constexpr const char *kTitle = "Serial Port Permission";

    // Shows the notice the first time only; true when it was shown.
    bool show(Dialogs &dialogs, const std::vector<RefusedPort> &ports);

private:
    bool m_shown = false;
};

} // namespace romwright
