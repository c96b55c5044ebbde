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

SystemSerialPort::SystemSerialPort(const PortMap &map, QObject *parent) : SerialPort(parent), m_map(map) {}

CommError SystemSerialPort::setCommPort(int port)
{
    if (port < PortMap::kFirstPort || port > PortMap::kLastPort)
        return CommError::ValueRefused;
    if (portOpen())
        return CommError::PortInUse; // the control refuses a new number while open
    m_commPort = port;
    return CommError::None;
}

QString SystemSerialPort::deviceName() const
{
    return m_map.device(m_commPort);
}

CommError SystemSerialPort::setSettings(const QString &settings)
{
    const std::optional<LineSettings> parsed = LineSettings::parse(settings);
    if (!parsed)
        return CommError::ValueRefused;
    if (portOpen() && !changeLine(*parsed))
        return CommError::ValueRefused;
    m_line = *parsed;
    m_settingsText = settings;
    return CommError::None;
}

CommError SystemSerialPort::setInBufferSize(int bytes)
{
    if (bytes <= 0 || bytes > 32767)
        return CommError::ValueRefused;
    m_inBufferSize = bytes;
    return CommError::None;
}

CommError SystemSerialPort::setOutBufferSize(int bytes)
{
    if (bytes <= 0 || bytes > 32767)
        return CommError::ValueRefused;
    m_outBufferSize = bytes;
    return CommError::None;
}

CommError SystemSerialPort::setBinaryInput(bool)
{
    return CommError::None;
}

CommError SystemSerialPort::setNullDiscard(bool discard)
{
    return discard ? CommError::ValueRefused : CommError::None;
}

CommError SystemSerialPort::setSThreshold(int bytes)
{
    return bytes < 0 ? CommError::ValueRefused : CommError::None;
}

CommError SystemSerialPort::setInputLen(int bytes)
{
    if (bytes < 0)
        return CommError::ValueRefused;
    m_inputLen = bytes;
    return CommError::None;
}

} // namespace romwright
