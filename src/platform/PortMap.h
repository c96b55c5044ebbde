#pragma once
// Port numbers and the devices behind them. On Windows port n is COMn, for
// every number the system can give (1 to 256). Elsewhere ROMWRIGHT_PORTS
// ("/dev/ttyUSB0,,/tmp/sim/link3") names the ports in order, an empty item
// leaving its number without a device; without it the numbers go to the
// system's serial ports, USB adapters first, each group sorted by name, so the
// same hardware always gets the same numbers. A terminal named by its path
// that is none of these gets the next free number for the run.

#include <QList>
#include <QString>
#include <QStringList>
#include <map>

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

// Whether path is a terminal device (a serial adapter, a pseudo-terminal):
// what a port named by its path must be. Defined beside fromEnvironment.
bool isTerminalDevice(const QString &path);

class PortMap {
public:
    static constexpr int kFirstPort = 1;
    // The highest number a port can have: Windows numbers COM ports up to 256.
    static constexpr int kLastPort = 256;
    static constexpr const char *kPortsVariable = "ROMWRIGHT_PORTS";

    PortMap() = default;

    // The map for this machine and environment, with the devices added for
    // this run. Each system's transport unit defines it, beside its serial port.
    static PortMap fromEnvironment();
    // A ROMWRIGHT_PORTS style list; items beyond port 256 are ignored.
    static PortMap fromList(const QString &list);
    // System ports given by their device paths, in any order.
    static PortMap fromSystemPorts(const QStringList &devices);
    // Every COMn; present lists the numbers the system says exist now.
    static PortMap windowsPorts(const QList<int> &present = {});

    // The order fromSystemPorts numbers the devices in.
    static QStringList orderSystemPorts(QStringList devices);
    // n for "COMn" or "\\.\COMn" in any case with n from 1 to 256, else 0.
    static int comPortNumber(const QString &name);

    // Gives device the next number after the highest mapped one in every map
    // fromEnvironment makes from now on, unless that map has it already.
    static void addForThisRun(const QString &device);
    // The map as a ROMWRIGHT_PORTS list, for a child process to number the
    // ports as this one does; "" when nothing was added for this run.
    static QString runList();

    // The device of port n, "" for a number without one or out of range.
    QString device(int port) const;
    // The number of the port whose device is device, or a link to the same
    // file (/dev/serial/by-id/...); COM names in any case. 0 for none.
    int portOf(const QString &device) const;
    // The numbers of the ports that are there, ascending: those with a
    // device, on Windows those the system named.
    QList<int> ports() const;
    // Maps device to the next number after the highest mapped one; that
    // number, or 0 when none is left.
    int add(const QString &device);

    // How many devices the list named beyond port 256, and what the user is
    // told of them once at start-up ("" for none): a device would otherwise
    // be left out without a word.
    int ignoredDevices() const { return m_ignored; }
    QString ignoredDevicesNote() const;

private:
    // Adds the devices addForThisRun named; fromEnvironment's last step.
    PortMap &withRunDevices();

    std::map<int, QString> m_devices;
    bool m_comNames = false; // every number is its COM name
    int m_ignored = 0;
};

// A port as this system names it to a person: "COM3" on Windows, "port 3" elsewhere.
QString portName(int port);
// A port with the device it stands for, as this system names them: its
// device first elsewhere ("/dev/ttyUSB0 (port 3)"), "COM3" on Windows.
QString portWithDevice(int port, const QString &device);
// The port first, then the device it stands for when one is known:
// "port 3 (/dev/ttyUSB0)", or "port 3" alone.
QString portThenDevice(int port, const QString &device);

} // namespace romwright
