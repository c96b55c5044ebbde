// romwright --list-ports [--json]: each port number whose device is present, what the
// system knows of it and whether this user may open it now. A port is opened
// and closed again to learn whether another program holds it; nothing is
// written to it.

#include "app/ExitStatus.h"
#include "app/FrontEnds.h"
#include "app/startup/CommandLineOptions.h"
#include "platform/DeviceAccess.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "platform/SerialPort.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace romwright {

QString listPortsUsage()
{
    return QStringLiteral("usage: romwright --list-ports [--json]\n"
                          "  each port number with its device, USB vendor and product id, serial number and\n"
                          "  description where the system knows them, and whether you may open it now\n"
                          "  (free), may not (forbidden), another program holds it (held) or it is there\n"
                          "  but the system cannot open it (does not open)\n"
                          "  --json             one JSON object a port\n");
}

int runListPorts(const QStringList &arguments)
{
    const std::optional<bool> jsonOption = jsonOnlyOptions(arguments, QStringLiteral("--list-ports"));
    if (!jsonOption)
        return kExitUsage;
    const bool json = *jsonOption;
    const PortMap map = PortMap::fromEnvironment();
    const std::unique_ptr<SerialPort> port = makeSystemSerialPort(map);
    int listed = 0;
    for (const int n : map.ports()) {
        const QString device = map.device(n);
        // Only what is there: a mapped device may be gone.
        const DeviceAccess access = deviceAccess(device);
        if (!access.exists)
            continue;
        QString state;
        if (access.refusesUser()) {
            state = QStringLiteral("forbidden");
        } else {
            // Opened and closed at once, as the search does; nothing is written.
            CommError error = port->setCommPort(n);
            if (error == CommError::None)
                error = port->setPortOpen(true);
            if (port->portOpen())
                port->setPortOpen(false);
            if (error == CommError::NoSuchPort)
                continue; // named, yet the system finds nothing behind the name
            state = error == CommError::None               ? QStringLiteral("free")
                    : error == CommError::PortInUse        ? QStringLiteral("held")
                    : error == CommError::PermissionDenied ? QStringLiteral("forbidden")
                                                           : QStringLiteral("does not open");
        }
        const PortDetails details = portDetails(device);
        ++listed;
        if (json) {
            const QJsonObject object{{QStringLiteral("port"), n},
                                     {QStringLiteral("device"), device},
                                     {QStringLiteral("vendorId"), details.vendorId},
                                     {QStringLiteral("productId"), details.productId},
                                     {QStringLiteral("serialNumber"), details.serialNumber},
                                     {QStringLiteral("description"), details.description},
                                     {QStringLiteral("state"), state}};
            std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
            continue;
        }
        QStringList about;
        if (!details.vendorId.isEmpty() || !details.productId.isEmpty())
            about << details.vendorId + QLatin1Char(':') + details.productId;
        if (!details.serialNumber.isEmpty())
            about << QStringLiteral("serial ") + details.serialNumber;
        if (!details.description.isEmpty())
            about << details.description;
        std::printf("%2d  %s  %s%s\n", n, qPrintable(device), qPrintable(state),
                    about.isEmpty() ? ""
                                    : qPrintable(QStringLiteral("  (") + about.join(QStringLiteral(", ")) +
                                                 QLatin1Char(')')));
    }
    if (listed == 0 && !json)
        std::printf("No serial port found.\n");
    return kExitCompleted;
}

} // namespace romwright
