#include "platform/PortMap.h"

#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <algorithm>

namespace romwright {

namespace {

bool isUsbAdapter(const QString &device)
{
    const QString name = QFileInfo(device).fileName();
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

// "ttyS2" before "ttyS10": names compare by their text, then by the number
// they end in.
bool nameLess(const QString &a, const QString &b)
{
    auto split = [](const QString &name) {
        qsizetype digits = name.size();
        while (digits > 0 && name.at(digits - 1).isDigit())
            --digits;
        const QString number = name.mid(digits);
        return std::pair{name.left(digits), number.isEmpty() ? -1LL : number.toLongLong()};
    };
    const QString na = QFileInfo(a).fileName(), nb = QFileInfo(b).fileName();
    const auto [pa, ka] = split(na);
    const auto [pb, kb] = split(nb);
    if (pa != pb)
        return pa < pb;
    if (ka != kb)
        return ka < kb;
    return a < b;
}

} // namespace

PortMap PortMap::fromList(const QString &list)
{
    PortMap map;
    if (list.trimmed().isEmpty())
        return map;
    const QStringList items = list.split(QLatin1Char(','));
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString item = items[i].trimmed();
        if (i < kLastPort && !item.isEmpty())
            map.m_devices[int(i) + 1] = item;
        else if (!item.isEmpty())
            ++map.m_ignored;
    }
    return map;
}

QStringList PortMap::orderSystemPorts(QStringList devices)
{
    // Sorted by name first, then a stable partition keeps that order
    // within the USB group and within the rest.
    std::sort(devices.begin(), devices.end(), nameLess);
    devices.erase(std::unique(devices.begin(), devices.end()), devices.end());
    std::stable_partition(devices.begin(), devices.end(), isUsbAdapter);
    return devices;
}

PortMap PortMap::fromSystemPorts(const QStringList &devices)
{
    PortMap map;
    const QStringList ordered = orderSystemPorts(devices);
    for (qsizetype i = 0; i < ordered.size() && i < kLastPort; ++i)
        map.m_devices[int(i) + 1] = ordered[i];
    return map;
}

PortMap PortMap::windowsPorts(const QList<int> &present)
{
    PortMap map;
    map.m_comNames = true;
    for (const int n : present)
        if (n >= kFirstPort && n <= kLastPort)
            map.m_devices[n] = QStringLiteral("COM%1").arg(n);
    return map;
}

int PortMap::comPortNumber(const QString &name)
{
    static const QRegularExpression com(QStringLiteral("^(\\\\\\\\\\.\\\\)?COM([1-9][0-9]{0,2})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(name);
    const int n = match.hasMatch() ? match.captured(2).toInt() : 0;
    return n <= kLastPort ? n : 0;
}

namespace {

// The devices named for this run (--port /dev/pts/7), in the order named.
QStringList &runDevices()
{
    static QStringList devices;
    return devices;
}

QMutex runDevicesLock;

} // namespace

void PortMap::addForThisRun(const QString &device)
{
    const QMutexLocker lock(&runDevicesLock);
    if (!runDevices().contains(device))
        runDevices() << device;
}

QString PortMap::runList()
{
    {
        const QMutexLocker lock(&runDevicesLock);
        if (runDevices().isEmpty())
            return QString();
    }
    const PortMap map = fromEnvironment();
    QStringList items;
    for (int n = kFirstPort; !map.m_devices.empty() && n <= map.m_devices.rbegin()->first; ++n)
        items << map.device(n);
    return items.join(QLatin1Char(','));
}

PortMap &PortMap::withRunDevices()
{
    const QMutexLocker lock(&runDevicesLock);
    for (const QString &device : std::as_const(runDevices()))
        if (portOf(device) == 0)
            add(device);
    return *this;
}

int PortMap::add(const QString &device)
{
    const int n = m_devices.empty() ? kFirstPort : m_devices.rbegin()->first + 1;
    if (m_comNames || device.isEmpty() || n > kLastPort)
        return 0;
    m_devices[n] = device;
    return n;
}

QList<int> PortMap::ports() const
{
    QList<int> numbers;
    for (const auto &[n, device] : m_devices)
        numbers << n;
    return numbers;
}

QString PortMap::ignoredDevicesNote() const
{
    if (m_ignored == 0)
        return QString();
    return QStringLiteral("romwright: %1 names %2 more devices after port %3; only ports 1 to %3 are used")
        .arg(QLatin1String(kPortsVariable), QString::number(m_ignored), QString::number(kLastPort));
}

int PortMap::portOf(const QString &device) const
{
    if (device.isEmpty())
        return 0;
    if (m_comNames)
        return comPortNumber(device);
    // Resolved: a by-id link and the ttyUSB it points at are one device.
    auto same = [](const QString &a, const QString &b) {
        if (a.compare(b, Qt::CaseInsensitive) == 0 && a.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            return true;
        if (a == b)
            return true;
        const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
        return !ca.isEmpty() && ca == cb;
    };
    for (const auto &[n, mapped] : m_devices)
        if (same(device, mapped))
            return n;
    return 0;
}

QString PortMap::device(int port) const
{
    if (port < kFirstPort || port > kLastPort)
        return QString();
    if (m_comNames)
        return QStringLiteral("COM%1").arg(port);
    const auto found = m_devices.find(port);
    return found == m_devices.end() ? QString() : found->second;
}

QString portName(int port)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("port %1").arg(port);
#endif
}

QString portWithDevice(int port, const QString &device)
{
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return portName(port);
#else
    return device.isEmpty() ? portName(port) : QStringLiteral("%1 (%2)").arg(device, portName(port));
#endif
}

QString portThenDevice(int port, const QString &device)
{
    return device.isEmpty() ? portName(port) : QStringLiteral("%1 (%2)").arg(portName(port), device);
}

} // namespace romwright
