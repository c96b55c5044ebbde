#pragma once
// A serial port as a flasher needs it, in seven verbs: open with settings,
// close, read with a deadline, write, discard what waits, set the lines, and
// what is there (open, bytes waiting). Every verb reports the kind of
// failure the callers tell apart, instead of throwing. The POSIX and the
// Windows transport implement the verbs side by side; the serial control's
// names (CommPort, Settings, PortOpen, Input, Output, InBufferCount ...)
// remain as a thin adapter over them for the sequences that follow the
// control property by property.

#include "platform/LineSettings.h"
#include "platform/PortMap.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

namespace romwright {

enum class CommError {
    None,
    ValueRefused,     // a value the port will not take
    NoSuchPort,       // no device behind the port number
    PortInUse,        // another program holds the device
    PermissionDenied, // the user may not open the device (Linux: not in its group)
    DeviceNotOpen,    // the device could not be opened for another reason
    PortNotOpen,      // the operation needs an open port
    WriteFailed,      // the device went away or refused the bytes
};

// Text for a person, e.g. for the console front end.
QString describe(CommError error);

// The control's Handshaking values 0..3.
enum class Handshaking { None, XonXoff, RtsCts, Both };

// Everything a port is opened with, at once.
struct PortSettings {
    int port = 1; // PortMap::kFirstPort..kLastPort: the map's device of that number
    LineSettings line;
    Handshaking handshaking = Handshaking::None;
    bool dtr = false;
    bool rts = false; // left to the driver under RTS/CTS handshaking
    bool operator==(const PortSettings &) const = default;
};

enum class Discard { Input, Output };

class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // Opens the device of settings.port with all of settings. A port open on
    // that number takes the new settings at once, after what was written has
    // left at the old rate (the bootloader dialogue changes its rate so);
    // one open on another number refuses (PortInUse), and a refused change
    // leaves the port as it was.
    CommError open(const PortSettings &settings);
    // PortNotOpen when there was nothing to close; a lost line is closed.
    CommError close();
    // Everything that has come, at once; when nothing has, waits up to wait
    // for the first byte. Empty on a closed port or a lost line.
    virtual QByteArray read(std::chrono::milliseconds wait = {}) = 0;
    // Exactly these bytes, in order, handed to the device before it returns.
    virtual CommError write(const QByteArray &bytes) = 0;
    // Throws away what waits to be read, or to be sent.
    virtual CommError discard(Discard what) = 0;
    // DTR and RTS now; a device without them (a pseudo-terminal) does not refuse.
    CommError setLines(bool dtr, bool rts);
    // Open, and its line not lost.
    virtual bool isOpen() const = 0;
    // Bytes waiting to be read, also those the event loop has not delivered yet.
    virtual int bytesWaiting() const = 0;

    // The number of the port opened and not closed since, 0 for none: for
    // another thread than the one that owns the port (the window's About box
    // while the update runs on the line's thread).
    int openNumber() const { return m_openNumber; }

    // What the port was last opened with, or asked to be.
    const PortSettings &portSettings() const { return m_settings; }

    // A new, closed port over the same devices: for talking to several ports at once.
    virtual std::unique_ptr<SerialPort> sibling() const = 0;
    // The port numbers that are there to be opened, ascending: what a search
    // tries. Without a map of its own every number a port can have.
    virtual QList<int> presentPorts() const;
    // The device port n stands for ("" when none).
    virtual QString deviceName(int port) const = 0;

    // The serial control's properties, over the verbs. A closed port keeps
    // its number and settings for the next open, as the control did.
    CommError setCommPort(int port); // a new number is refused while open
    int commPort() const { return m_settings.port; }
    QString deviceName() const { return deviceName(m_settings.port); }
    CommError setSettings(const QString &settings); // "38400,n,8,1"; at once when open
    QString settings() const { return m_settings.line.text(); }
    CommError setPortOpen(bool open) { return open ? this->open(m_settings) : close(); }
    bool portOpen() const { return isOpen(); }
    CommError output(const QByteArray &bytes) { return write(bytes); }
    QByteArray input() { return read(); }
    int inBufferCount() const { return bytesWaiting(); }
    CommError clearInput() { return discard(Discard::Input); }
    CommError clearOutput() { return discard(Discard::Output); }

signals:
    // New bytes are waiting.
    void received();
    // The device failed while open (unplugged adapter, closed terminal).
    void lineLost();

protected:
    // The transport's halves of open, close and setLines; the port's
    // settings are kept here. openPort sees the settings it replaces in
    // portSettings() when the port is open.
    virtual CommError openPort(const PortSettings &settings) = 0;
    virtual CommError closePort() = 0;
    virtual CommError applyLines(bool dtr, bool rts) = 0;

private:
    PortSettings m_settings;
    std::atomic<int> m_openNumber = 0;
};

// A closed port of this system over the devices of map. Each system's
// transport unit defines it; the build picks the unit.
std::unique_ptr<SerialPort> makeSystemSerialPort(const PortMap &map);

} // namespace romwright
