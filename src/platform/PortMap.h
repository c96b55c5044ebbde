#pragma once
// Port numbers 1..16 and the devices behind them. On Windows port n is COMn.
// Elsewhere ROMWRIGHT_PORTS ("/dev/ttyUSB0,,/tmp/sim/link3") names the ports
// in order, an empty item leaving its number without a device; without it the
// numbers go to the system's serial ports, USB adapters first, each group
// sorted by name, so the same hardware always gets the same numbers.

#include <QString>
#include <QStringList>
#include <array>

namespace romwright {

// What the system knows of the device behind a port; empty where it knows nothing.
struct PortDetails {
    QString vendorId;  // USB, four hex digits
    QString productId; // USB, four hex digits
    QString serialNumber;
    QString description;
};

// The system's knowledge of device (or of the device a link points at).
// Each system's transport unit defines it, beside its serial port.
PortDetails portDetails(const QString &device);

class PortMap {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 16;
    static constexpr const char *kPortsVariable = "ROMWRIGHT_PORTS";

    PortMap() = default;

    // The map for this machine and environment. Each system's transport
    // unit defines it, beside its serial port.
    static PortMap fromEnvironment();
    // A ROMWRIGHT_PORTS style list; items beyond port 16 are ignored.
    static PortMap fromList(const QString &list);
    // System ports given by their device paths, in any order.
    static PortMap fromSystemPorts(const QStringList &devices);
    // COM1..COM16.
    static PortMap windowsPorts();

    // The order fromSystemPorts numbers the devices in.
    static QStringList orderSystemPorts(QStringList devices);

    // The device of port n, "" for a number without one or out of range.
    QString device(int port) const;
    // The number of the port whose device is device, or a link to the same
    // file (/dev/serial/by-id/...); COM names in any case. 0 for none.
    int portOf(const QString &device) const;

    // How many devices the list named beyond port 16, and what the user is
    // told of them once at start-up ("" for none): a 17th device would
    // otherwise be left out without a word.
    int ignoredDevices() const { return m_ignored; }
    QString ignoredDevicesNote() const;

private:
    std::array<QString, kLastPort> m_devices;
    int m_ignored = 0;
};

} // namespace romwright
