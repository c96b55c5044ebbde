#pragma once
// The serial control as the program uses it: numbered ports, a settings
// string, the handful of properties the bootloader dialogue writes in a fixed
// order, whole-buffer reads and writes of exact bytes. Every operation reports
// the kind of failure the callers tell apart, instead of throwing.

#include "platform/LineSettings.h"
#include "platform/PortMap.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

namespace romwright {

enum class CommError {
    None,
    ValueRefused,     // a property value the port will not take
    NoSuchPort,       // no device behind the port number
    PortInUse,        // another program holds the device
    PermissionDenied, // the user may not open the device (Linux: not in its group)
    DeviceNotOpen,    // the device could not be opened for another reason
    PortNotOpen,      // the operation needs an open port
    WriteFailed,      // the device went away or refused the bytes
};

// Text for a person, e.g. for the console front end.
QString describe(CommError error);

class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // A new, closed port over the same devices, with its own number and
    // settings: for talking to several ports at once.
    virtual std::unique_ptr<SerialPort> sibling() const = 0;

    // The port numbers that are there to be opened, ascending: what a search
    // tries. Without a map of its own every number a port can have.
    virtual QList<int> presentPorts() const;

    // Port number 1..256; it takes effect at the next open.
    virtual CommError setCommPort(int port) = 0;
    virtual int commPort() const = 0;
    // The device the current number stands for ("" when none).
    virtual QString deviceName() const = 0;

    // "38400,n,8,1" style; written while open it changes the line at once.
    virtual CommError setSettings(const QString &settings) = 0;
    virtual QString settings() const = 0;

    virtual CommError setDtrEnable(bool enable) = 0;
    virtual CommError setRtsEnable(bool enable) = 0;
    virtual CommError setEofEnable(bool enable) = 0;
    virtual CommError setHandshaking(int mode) = 0; // 0 none
    virtual CommError setInBufferSize(int bytes) = 0;
    virtual CommError setOutBufferSize(int bytes) = 0;
    virtual CommError setBinaryInput(bool binary) = 0; // InputMode 1
    virtual CommError setNullDiscard(bool discard) = 0;
    virtual CommError setSThreshold(int bytes) = 0;
    virtual CommError setInputLen(int bytes) = 0; // 0 reads everything waiting

    virtual CommError setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;

    // Sends exactly these bytes, in order, handed to the device before it returns.
    virtual CommError output(const QByteArray &bytes) = 0;

    // Bytes waiting to be read (InBufferCount).
    virtual int inBufferCount() const = 0;
    // Reads and removes everything waiting (Input with InputLen 0).
    virtual QByteArray input() = 0;
    // For a wait that received() has just woken: what the event loop has
    // delivered, without asking the device once more (it was read a moment
    // ago); input() when nothing has been delivered.
    virtual QByteArray inputDelivered() { return input(); }
    // InBufferCount = 0 / OutBufferCount = 0: discard what waits.
    virtual CommError clearInput() = 0;
    virtual CommError clearOutput() = 0;

signals:
    // New bytes are waiting.
    void received();
    // The device failed while open (unplugged adapter, closed terminal).
    void lineLost();
};

// A closed port of this system over the devices of map. Each system's
// transport unit defines it; the build picks the unit.
std::unique_ptr<SerialPort> makeSystemSerialPort(const PortMap &map);

// What a port on a real system keeps the same everywhere: the port number
// and its device, the settings string, the buffer and read-length
// properties and the values they refuse. The POSIX and the
// Windows transport derive from it.
class SystemSerialPort : public SerialPort {
public:
    explicit SystemSerialPort(const PortMap &map, QObject *parent = nullptr);

    // The map's ports.
    QList<int> presentPorts() const override { return m_map.ports(); }
    // Port n is the map's device n; a new number is refused while open.
    CommError setCommPort(int port) final;
    int commPort() const final { return m_commPort; }
    QString deviceName() const final;

    // A settings string the port refuses leaves the settings as they were.
    CommError setSettings(const QString &settings) final;
    QString settings() const final { return m_settingsText; }

    // The sizes are kept for the record only: the transports' buffers grow
    // as needed, so a small input buffer never loses bytes.
    CommError setInBufferSize(int bytes) final;
    CommError setOutBufferSize(int bytes) final;
    CommError setBinaryInput(bool binary) final;  // input() always hands out bytes
    CommError setNullDiscard(bool discard) final; // zero bytes are data here: refused
    CommError setSThreshold(int bytes) final;
    CommError setInputLen(int bytes) final;

protected:
    const PortMap &portMap() const { return m_map; }
    const LineSettings &line() const { return m_line; }
    int inputLen() const { return m_inputLen; }
    // Puts next into effect on the open port, after what was written has
    // left at the present rate; false when the device refuses it.
    virtual bool changeLine(const LineSettings &next) = 0;

private:
    PortMap m_map;
    int m_commPort = 1;
    QString m_settingsText = QStringLiteral("9600,n,8,1");
    LineSettings m_line = *LineSettings::parse(m_settingsText);
    int m_inBufferSize = 1024;
    int m_outBufferSize = 512;
    int m_inputLen = 0;
};

} // namespace romwright
