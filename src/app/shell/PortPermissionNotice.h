#pragma once
// A serial device the user may not open (on Linux: not a member of the group
// that owns it) is told once, with the fix, instead of only a red port lamp.

#include <QString>

namespace romwright {

class Dialogs;

class PortPermissionNotice {
public:
    // The text for device (owned by group, "" when unknown) behind port n.
    static QString text(int port, const QString &device, const QString &group);
    static constexpr const char *kTitle = "Serial Port Permission";

    // Shows the notice the first time only; true when it was shown.
    bool show(Dialogs &dialogs, int port, const QString &device, const QString &group);

private:
    bool m_shown = false;
};

} // namespace romwright
