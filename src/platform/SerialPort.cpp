#include "platform/SerialPort.h"

namespace romwright {

QString describe(CommError error)
{
    switch (error) {
    case CommError::None:
        return QStringLiteral("no error");
    case CommError::ValueRefused:
        return QStringLiteral("the port refused a setting");
    case CommError::NoSuchPort:
        return QStringLiteral("no such port");
    case CommError::PortInUse:
        return QStringLiteral("the port is held by another program");
    case CommError::PermissionDenied:
        return QStringLiteral("permission to open the port was denied");
    case CommError::DeviceNotOpen:
        return QStringLiteral("the device could not be opened");
    case CommError::PortNotOpen:
        return QStringLiteral("the port is not open");
    case CommError::WriteFailed:
        return QStringLiteral("writing to the port failed");
    }
    return QString();
}

QList<int> SerialPort::presentPorts() const
{
    QList<int> all;
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n)
        all << n;
    return all;
}

CommError SerialPort::open(const PortSettings &settings)
{
    if (settings.port < PortMap::kFirstPort || settings.port > PortMap::kLastPort)
        return CommError::ValueRefused;
    if (!isOpen()) {
        // Kept also when the open fails: the number tried names the device in the message.
        m_settings = settings;
        const CommError error = openPort(settings);
        m_openNumber = error == CommError::None ? settings.port : 0;
        return error;
    }
    if (settings.port != m_settings.port)
        return CommError::PortInUse; // the control refuses a new number while open
    const CommError error = openPort(settings);
    if (error == CommError::None)
        m_settings = settings;
    return error;
}

CommError SerialPort::close()
{
    m_openNumber = 0;
    return closePort();
}

CommError SerialPort::setLines(bool dtr, bool rts)
{
    if (!isOpen())
        return CommError::PortNotOpen;
    m_settings.dtr = dtr;
    m_settings.rts = rts;
    return applyLines(dtr, rts);
}

CommError SerialPort::setCommPort(int port)
{
    if (port < PortMap::kFirstPort || port > PortMap::kLastPort)
        return CommError::ValueRefused;
    if (isOpen())
        return CommError::PortInUse;
    m_settings.port = port;
    return CommError::None;
}

CommError SerialPort::setSettings(const QString &settings)
{
    const std::optional<LineSettings> line = LineSettings::parse(settings);
    if (!line)
        return CommError::ValueRefused;
    PortSettings next = m_settings;
    next.line = *line;
    if (isOpen())
        return open(next);
    m_settings = next;
    return CommError::None;
}

} // namespace romwright
