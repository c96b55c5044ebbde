#include "app/shell/PortPermissionNotice.h"

#include "platform/Dialogs.h"

namespace romwright {

QString PortPermissionNotice::text(int port, const QString &device, const QString &group)
{
    const QString where = device.isEmpty() ? QStringLiteral("COM%1").arg(port)
                                           : QStringLiteral("COM%1 (%2)").arg(port).arg(device);
    const QString owner = group.isEmpty() ? QStringLiteral("the group that owns the device (usually dialout)")
                                          : QStringLiteral("the group \"%1\" that owns the device").arg(group);
    const QString command = QStringLiteral("sudo usermod -aG %1 $USER").arg(group.isEmpty() ? QStringLiteral("dialout") : group);
    return QStringLiteral("You do not have permission to open the serial port %1.\n\n"
                          "Add your user to %2, for example with:\n    %3\n"
                          "then log out and log in again, and restart the Romwright.")
        .arg(where, owner, command);
}

bool PortPermissionNotice::show(Dialogs &dialogs, int port, const QString &device, const QString &group)
{
    if (m_shown)
        return false;
    m_shown = true;
    dialogs.message(text(port, device, group), QString::fromLatin1(kTitle), MessageIcon::Exclamation);
    return true;
}

} // namespace romwright
