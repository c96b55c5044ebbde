#pragma once
// The serial port on POSIX systems: QSerialPort, with the terminal's own
// descriptor where Qt is slow or blind (a first write straight to the device,
// poll for bytes, for a read's deadline and for a lost line, flock, low
// latency, a drain before a rate change). Reads take everything the device
// has received, also bytes the event loop has not delivered yet, so a read
// after a blocking pause sees what came in during it. On the line's own
// thread the open port is one of the handles LineClock waits on, and it is
// served there instead of by an event loop.

#include "platform/LineLatency.h"
#include "platform/LineSettings.h"
#include "platform/LineWaits.h"
#include "platform/PortMap.h"
#include "platform/SerialPort.h"

#include <QSerialPort>

#include <chrono>
#include <optional>

namespace romwright {

// What a failed open means to the program. QSerialPort reports a device held
// by another program and one the user may not open alike (PermissionError);
// whether the user may open it at all is asked of the device first.
CommError classifyOpenFailure(QSerialPort::SerialPortError error, bool deviceExists, bool userMayOpen);

class PosixSerialPort final : public SerialPort, private LineSource {
    Q_OBJECT
public:
    // Port numbers go through the map of this machine and environment.
    explicit PosixSerialPort(QObject *parent = nullptr);
    explicit PosixSerialPort(const PortMap &map, QObject *parent = nullptr);
    ~PosixSerialPort() override;

    // The quiet on both sides of a rate change on a pseudo-terminal, 10 ms
    // unless set, for every port of the process. The simulator on the far
    // end must wake within it; a test on a loaded machine lengthens it.
    static void setPseudoTerminalQuiet(std::chrono::milliseconds quiet);

    QByteArray read(std::chrono::milliseconds wait = {}) override;
    CommError write(const QByteArray &bytes) override;
    CommError discard(Discard what) override;
    bool isOpen() const override;
    int bytesWaiting() const override;

    std::unique_ptr<SerialPort> sibling() const override;
    QList<int> presentPorts() const override { return m_map.ports(); }
    QString deviceName(int port) const override { return m_map.device(port); }

private:
    CommError openPort(const PortSettings &settings) override;
    CommError closePort() override;
    CommError applyLines(bool dtr, bool rts) override;
    WaitHandle waitHandle() const override { return int(m_port.handle()); }
    void serve() override;
    CommError openDevice(const PortSettings &settings);
    // On an open port: the line after what was written has left at the
    // present rate; false when the device refuses it.
    bool changeLine(const LineSettings &next);
    void release();
    void pullPending() const;
    // Blocks until a byte has come, the line is lost or wait has passed.
    void awaitBytes(std::chrono::milliseconds wait);
    bool lineDown() const;
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void dropLine();

    PortMap m_map;
    mutable QSerialPort m_port;
    LineLatency m_latency{LatencyAccess::system()};
    mutable bool m_pulling = false;
    bool m_lost = false;
    // received() told of what Qt's buffer holds and no read has taken it
    // since: the next read takes it without asking the device once more.
    bool m_delivered = false;
    // For a pseudo-terminal's quiet around a rate change: when the last
    // write ended, and before when the next may begin.
    std::optional<std::chrono::steady_clock::time_point> m_lastWrite;
    std::optional<std::chrono::steady_clock::time_point> m_quietUntil;
};

} // namespace romwright
