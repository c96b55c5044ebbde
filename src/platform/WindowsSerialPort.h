#pragma once
// The serial control on Windows: port n is \\.\COMn, opened for overlapped
// I/O so that a write, a purge or a rate change never waits behind a read.
// A read of one byte is kept pending (it completes the moment a byte
// arrives); then whatever else the driver holds is taken at once. On the
// line's own thread (LineClock) the read's event is one of the handles its
// waits block on, and the port is served right there: one thread, one wait,
// nothing between an acknowledgement and the next record. Opened on a thread
// that runs an event loop instead, a reader thread of the port's own keeps
// the read pending and hands the bytes over through a hidden window of the
// port's, whose event loop wakes for it; nothing polls. Reads and counts
// serve what the reader has taken, so a read after a blocking pause sees what
// came in during it. Properties written while the port is closed are kept
// and applied when it opens.

#include "platform/LineSettings.h"
#include "platform/LineWaits.h"
#include "platform/PortMap.h"
#include "platform/SerialPort.h"

#include <QByteArray>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

struct _DCB;

namespace romwright {

// What a failed CreateFile of a COM port means to the program. Windows grants
// a COM port to one handle at a time: "access denied" there means another
// program holds it.
CommError classifyOpenError(unsigned long win32Error);

// The line settings, flow control and the DTR and RTS lines into a device
// control block, leaving the fields the program does not use as they were.
// handshaking: 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both.
void fillDcb(_DCB &dcb, const LineSettings &line, int handshaking, bool dtr, bool rts);

// What a device instance id tells of an adapter: its USB ids, lower case,
// and its serial number where the id holds one (WindowsPortMap.cpp). Ids
// look like USB\VID_0403&PID_6001\A50285BI or, with FTDI's own driver,
// FTDIBUS\VID_0403+PID_6001+A50285BIA\0000.
PortDetails detailsFromInstanceId(const QString &instanceId);

class WindowsSerialPort final : public SystemSerialPort, private LineSource {
    Q_OBJECT
public:
    explicit WindowsSerialPort(const PortMap &map, QObject *parent = nullptr);
    ~WindowsSerialPort() override;

    std::unique_ptr<SerialPort> sibling() const override;
    // The COM ports the system names now: an adapter plugged in after start counts.
    QList<int> presentPorts() const override { return PortMap::fromEnvironment().ports(); }

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
    bool changeLine(const LineSettings &next) override;
    CommError open();
    void close();
    bool applyLine(const LineSettings &line);
    WaitHandle waitHandle() const override { return m_readDone; }
    void serve() override;
    // On the line's thread: a read of one byte pending; false when the line is gone.
    bool armRead();
    // On the line's thread: what the pending read and the driver hold, into
    // m_received; false when the line is gone.
    bool pull();
    // On the line's thread: what the driver holds beyond the pending read.
    QByteArray drainDriver();
    // pull(), and a line found gone is dropped; no one is told of bytes.
    void takePending();
    int inBufferCountHeld() const;
    // What has been taken from the device, InputLen bytes at most.
    QByteArray takeReceived();
    void readLoop(); // the reader thread
    void notify();   // on the reader thread: deliver() comes on the owner's
    void deliver();  // on the owner's thread
    void dropLine();
    friend struct PortNotifier;

    bool m_dtr = false;
    bool m_rts = false;
    int m_handshaking = 0;
    bool m_sentSinceRateChange = false;

    void *m_handle = nullptr;    // the open port, nullptr when closed
    void *m_stop = nullptr;      // set to end the reader
    void *m_writeDone = nullptr; // the event of the overlapped write
    void *m_notifier = nullptr;  // the window deliver() is asked through; made at the first open
    bool m_lineOwned = false;    // opened on a LineClock's thread: served by its waits
    void *m_readDone = nullptr;  // the pending read's event, on the line's thread
    struct PendingRead;
    std::unique_ptr<PendingRead> m_read; // the read of one byte kept pending
    std::thread m_reader;
    mutable std::mutex m_mutex; // guards what follows
    QByteArray m_received;
    bool m_deliveryPosted = false;
    std::atomic<bool> m_lost = false;
};

} // namespace romwright
