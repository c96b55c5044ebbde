#pragma once
// The serial control on POSIX systems: QSerialPort, with the terminal's own
// descriptor where Qt is slow or blind (a first write straight to the device,
// poll for bytes and for a lost line, flock, low latency, a drain before a
// rate change). Properties written while the port is closed are kept and
// applied when it opens, as the control did; the settings string also
// applies at once to an open port (the rate change of the bootloader
// dialogue). Reads take everything the device has received, also bytes the
// event loop has not delivered yet, so a read after a blocking pause sees
// what came in during it. On the line's own thread the open port is one of
// the handles LineClock waits on, and it is served there instead of by an
// event loop.

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

class PosixSerialPort final : public SystemSerialPort, private LineSource {
    Q_OBJECT
public:
    // Port numbers go through the map of this machine and environment.
    explicit PosixSerialPort(QObject *parent = nullptr);
    explicit PosixSerialPort(const PortMap &map, QObject *parent = nullptr);
    ~PosixSerialPort() override;

    std::unique_ptr<SerialPort> sibling() const override;

    // The quiet on both sides of a rate change on a pseudo-terminal, 10 ms
    // unless set, for every port of the process. The simulator on the far
    // end must wake within it; a test on a loaded machine lengthens it.
    static void setPseudoTerminalQuiet(std::chrono::milliseconds quiet);

    CommError setDtrEnable(bool enable) override;
    CommError setRtsEnable(bool enable) override;
    CommError setEofEnable(bool enable) override;
    CommError setHandshaking(int mode) override;

    CommError setPortOpen(bool open) override;
    bool portOpen() const override;

    CommError output(const QByteArray &bytes) override;
    int inBufferCount() const override;
    QByteArray input() override;
    QByteArray inputDelivered() override;
    CommError clearInput() override;
    CommError clearOutput() override;

private:
    WaitHandle waitHandle() const override { return int(m_port.handle()); }
    void serve() override;
    bool changeLine(const LineSettings &next) override;
    CommError open();
    void close();
    void pullPending() const;
    // What the port has read, InputLen bytes at most; nothing when it is closed.
    QByteArray take();
    bool lineDown() const;
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void dropLine();

    mutable QSerialPort m_port;
    LineLatency m_latency{LatencyAccess::system()};
    bool m_dtr = false;
    bool m_rts = false;
    int m_handshaking = 0;
    mutable bool m_pulling = false;
    bool m_lost = false;
    // For a pseudo-terminal's quiet around a rate change: when the last
    // write ended, and before when the next may begin.
    std::optional<std::chrono::steady_clock::time_point> m_lastWrite;
    std::optional<std::chrono::steady_clock::time_point> m_quietUntil;
};

} // namespace romwright
