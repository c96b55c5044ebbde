#include "app/startup/PortPermissionNotice.h"

#include "platform/PortMap.h"

#include "platform/Dialogs.h"

#include <QStringList>

namespace romwright {

namespace {

// The group whose members may use every one of the devices, or "".
QString groupToJoin(const std::vector<RefusedPort> &ports)
{
    const QString group = ports.empty() ? QString() : ports.front().access.group;
    if (group.isEmpty() || group == QLatin1String("root"))
        return QString();
    for (const RefusedPort &refused : ports)
        if (refused.access.group != group || !refused.access.groupMayReadWrite)
            return QString();
    return group;
}

} // namespace

QString PortPermissionNotice::text(const std::vector<RefusedPort> &ports)
{
    QStringList names;
    for (const RefusedPort &refused : ports)
        names << portWithDevice(refused.port, refused.access.device);
    const bool several = ports.size() > 1;
    const QString opening =
        several ? QStringLiteral("You do not have permission to open the serial ports %1.\n\n")
                : QStringLiteral("You do not have permission to open the serial port %1.\n\n");
    const QString group = groupToJoin(ports);
    if (!group.isEmpty())
        return (opening + QStringLiteral("Add your user to the group \"%2\", which may read and write %3, "
                                         "for example with:\n    sudo usermod -aG %2 $USER\n"
                                         "then log out and log in again, and restart the Romwright."))
            .arg(names.join(QLatin1String(", ")), group,
                 several ? QStringLiteral("these devices") : QStringLiteral("the device"));
    return (opening + QStringLiteral("The permissions of %2 must be changed so that you may read and write "
                                     "it, for example with a udev rule that gives it mode 0660 and a group "
                                     "you belong to. Then restart the Romwright."))
        .arg(names.join(QLatin1String(", ")),
             several ? QStringLiteral("each device") : QStringLiteral("the device"));
}

QString portsInUseText(const std::vector<HeldPort> &ports)
{
    QStringList names;
    for (const HeldPort &held : ports)
        names << portWithDevice(held.port, held.device);
    return (ports.size() > 1
                ? QStringLiteral(
                      "The serial ports %1 are in use by another application. Close the application "
                      "that holds them, then try again.")
                : QStringLiteral("The serial port %1 is in use by another application. Close the application "
                                 "that holds it, then try again."))
        .arg(names.join(QLatin1String(", ")));
}

bool PortPermissionNotice::show(Dialogs &dialogs, const std::vector<RefusedPort> &ports)
{
    if (m_shown || ports.empty())
        return false;
    m_shown = true;
    dialogs.message(text(ports), QString::fromLatin1(kTitle), MessageIcon::Exclamation);
    return true;
}

} // namespace romwright
