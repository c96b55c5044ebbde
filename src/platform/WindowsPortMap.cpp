// The port map of Windows: port n is COMn, as the system names its ports.
// What the system knows of the device behind a COM name comes from its
// device registry (SetupAPI): the Ports class's device whose PortName it is.
#include "platform/PortMap.h"
#include "platform/WindowsSerialPort.h"

#include <QRegularExpression>

#include <string>

#include <windows.h>

#include <initguid.h> // defines the GUIDs devguid.h declares

#include <devguid.h>
#include <setupapi.h>

namespace romwright {

namespace {

// The COM numbers the system names now: COM3 while its adapter is plugged
// in, gone when it is pulled. Asked name by name, as the name of one port
// is looked up when it is opened.
QList<int> presentComPorts()
{
    QList<int> present;
    wchar_t target[512];
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n) {
        const std::wstring name = L"COM" + std::to_wstring(n);
        if (QueryDosDeviceW(name.c_str(), target, DWORD(std::size(target))) != 0)
            present << n;
    }
    return present;
}

} // namespace

PortMap PortMap::fromEnvironment()
{
    return windowsPorts(presentComPorts());
}

// A COM port is named by its COM name; no path is one.
bool isTerminalDevice(const QString &)
{
    return false;
}

PortDetails detailsFromInstanceId(const QString &instanceId)
{
    PortDetails details;
    static const QRegularExpression ids(QStringLiteral("VID_([0-9A-F]{4})[&+]PID_([0-9A-F]{4})"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = ids.match(instanceId);
    if (!match.hasMatch())
        return details;
    details.vendorId = match.captured(1).toLower();
    details.productId = match.captured(2).toLower();
    const QStringList parts = instanceId.split(QLatin1Char('\\'));
    if (instanceId.startsWith(QLatin1String("USB\\"), Qt::CaseInsensitive) && parts.size() == 3) {
        // The system makes up an id with "&" in it for a device without a serial number.
        if (!parts[2].contains(QLatin1Char('&')))
            details.serialNumber = parts[2];
    } else if (instanceId.startsWith(QLatin1String("FTDIBUS\\"), Qt::CaseInsensitive) && parts.size() >= 2) {
        // VID_0403+PID_6001+A50285BIA: the serial number, then the port's letter.
        const QStringList fields = parts[1].split(QLatin1Char('+'));
        if (fields.size() == 3 && fields[2].size() > 1)
            details.serialNumber = fields[2].chopped(1);
    }
    return details;
}

namespace {

QString registryText(HDEVINFO set, SP_DEVINFO_DATA &info, DWORD property)
{
    wchar_t text[256] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, &info, property, nullptr, reinterpret_cast<PBYTE>(text),
                                           sizeof text - sizeof(wchar_t), nullptr))
        return QString();
    return QString::fromWCharArray(text);
}

QString portNameOf(HDEVINFO set, SP_DEVINFO_DATA &info)
{
    HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return QString();
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const bool read = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<LPBYTE>(name),
                                       &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return read && type == REG_SZ ? QString::fromWCharArray(name) : QString();
}

} // namespace

PortDetails portDetails(const QString &device)
{
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return {};
    PortDetails details;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        if (portNameOf(set, info).compare(device, Qt::CaseInsensitive) != 0)
            continue;
        wchar_t id[512] = {};
        if (SetupDiGetDeviceInstanceIdW(set, &info, id, DWORD(std::size(id) - 1), nullptr))
            details = detailsFromInstanceId(QString::fromWCharArray(id));
        details.description = registryText(set, info, SPDRP_FRIENDLYNAME);
        if (details.description.isEmpty())
            details.description = registryText(set, info, SPDRP_DEVICEDESC);
        break;
    }
    SetupDiDestroyDeviceInfoList(set);
    return details;
}

} // namespace romwright
