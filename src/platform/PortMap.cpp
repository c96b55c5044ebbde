#include "platform/PortMap.h"

#include <QFileInfo>
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
        if (i < kLastPort)
            map.m_devices[static_cast<std::size_t>(i)] = items[i].trimmed();
        else if (!items[i].trimmed().isEmpty())
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
        map.m_devices[static_cast<std::size_t>(i)] = ordered[i];
    return map;
}

PortMap PortMap::windowsPorts()
{
    PortMap map;
    for (int n = kFirstPort; n <= kLastPort; ++n)
        map.m_devices[static_cast<std::size_t>(n - 1)] = QStringLiteral("COM%1").arg(n);
    return map;
}

QString PortMap::ignoredDevicesNote() const
{
    if (m_ignored == 0)
        return QString();
    return QStringLiteral("romwright: %1 names %2 more devices after port 16; only ports 1 to 16 are used")
        .arg(QLatin1String(kPortsVariable), QString::number(m_ignored));
}

int PortMap::portOf(const QString &device) const
{
    if (device.isEmpty())
        return 0;
    // Resolved: a by-id link and the ttyUSB it points at are one device.
    auto same = [](const QString &a, const QString &b) {
        if (a.compare(b, Qt::CaseInsensitive) == 0 && a.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            return true;
        if (a == b)
            return true;
        const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
        return !ca.isEmpty() && ca == cb;
    };
    for (int n = kFirstPort; n <= kLastPort; ++n)
        if (!m_devices[std::size_t(n - 1)].isEmpty() && same(device, m_devices[std::size_t(n - 1)]))
            return n;
    return 0;
}

QString PortMap::device(int port) const
{
    if (port < kFirstPort || port > kLastPort)
        return QString();
    return m_devices[static_cast<std::size_t>(port - 1)];
}

} // namespace romwright
