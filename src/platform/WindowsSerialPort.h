#pragma once
// The serial control on Windows: port n is \\.\COMn. How it reads depends on
// the thread it is opened on:
// - On a line thread (LineClock), the thread's port is opened for blocking
//   reads: its waits read it (WindowsLineReader.h), writes and reads are
//   plain calls, and nothing stands between an acknowledgement and the next
//   record. Every call comes from that one thread, so none waits behind
//   a read.
// - A probe on a line thread (sibling(): the ports a detection asks side by
//   side, an identity asked beside the thread's port) is opened for
//   overlapped I/O, with a read of one byte kept pending whose event is one
//   of the handles the thread's waits block on; served right there.
// - Opened on a thread that runs an event loop instead, a reader thread of
//   the port's own keeps the read pending and hands the bytes over through
//   a hidden window of the port's, whose event loop wakes for it; nothing
//   polls.
// Reads and counts serve what has been taken, so a read after a blocking
// pause sees what came in during it.

#include "platform/LineSettings.h"
#include "platform/LineWaits.h"
#include "platform/PortMap.h"
#include "platform/SerialPort.h"
#include "platform/WindowsLineReader.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
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
void fillDcb(_DCB &dcb, const PortSettings &settings);

// What a device instance id tells of an adapter: its USB ids, lower case,
// and its serial number where the id holds one (WindowsPortMap.cpp). Ids
// look like USB\VID_0403&PID_6001\A50285BI or, with FTDI's own driver,
// FTDIBUS\VID_0403+PID_6001+A50285BIA\0000.
PortDetails detailsFromInstanceId(const QString &instanceId);

class WindowsSerialPort final : public SerialPort, private LineSource, private LineReader {
    Q_OBJECT
public:
    // A probe never reads with blocking reads: it is waited on beside others.
    enum class Role { Line, Probe };
    explicit WindowsSerialPort(const PortMap &map, Role role = Role::Line, QObject *parent = nullptr);
    ~WindowsSerialPort() override;

    QByteArray read(std::chrono::milliseconds wait = {}) override;
    CommError write(const QByteArray &bytes) override;
    CommError discard(Discard what) override;
    bool isOpen() const override;
    int bytesWaiting() const override;

    std::unique_ptr<SerialPort> sibling() const override;
    // The COM ports the system names now: an adapter plugged in after start counts.
    QList<int> presentPorts() const override { return PortMap::fromEnvironment().ports(); }
    QString deviceName(int port) const override { return m_map.device(port); }

private:
    CommError openPort(const PortSettings &settings) override;
    CommError closePort() override;
    CommError applyLines(bool dtr, bool rts) override;
    CommError openDevice(const PortSettings &settings);
    void release();
    bool applySettings(const PortSettings &settings);
    WaitHandle waitHandle() const override { return m_readDone; }
    void serve() override;
    void readFor(std::chrono::milliseconds bound) override;
    // Blocking reads: up to bound for a byte, then what else the driver
    // holds, into m_received; false when the line is gone.
    bool readBlocking(std::chrono::milliseconds bound);
    // Blocking reads: what the driver holds now.
    void takeHeld();
    bool setReadBound(std::chrono::milliseconds bound);
    // On the line's thread: a read of one byte pending; false when the line is gone.
    bool armRead();
    // On the line's thread: what the pending read and the driver hold, into
    // m_received; false when the line is gone.
    bool pull();
    // On the line's thread: what the driver holds beyond the pending read.
    QByteArray drainDriver();
    // pull(), and a line found gone is dropped; no one is told of bytes.
    void takePending();
    // Blocks until a byte has come, the line is lost or wait has passed.
    void awaitBytes(std::chrono::milliseconds wait);
    int heldCount() const;
    QByteArray takeReceived();
    void readLoop(); // the reader thread
    void notify();   // on the reader thread: deliver() comes on the owner's
    void deliver();  // on the owner's thread
    void dropLine();
    friend struct PortNotifier;

    PortMap m_map;
    Role m_role;
    bool m_sentSinceRateChange = false;

    void *m_handle = nullptr;        // the open port, nullptr when closed
    void *m_stop = nullptr;          // set to end the reader
    void *m_writeDone = nullptr;     // the event of the overlapped write
    void *m_notifier = nullptr;      // the window deliver() is asked through; made at the first open
    bool m_lineOwned = false;        // opened on a LineClock's thread: served by its waits
    bool m_blocking = false;         // the line thread's reader: blocking reads, no pending one
    unsigned long m_readBoundMs = 0; // the read time-out the driver has now
    int m_earlyEmpties = 0;          // blocking reads that came back empty well before their bound
    void *m_readDone = nullptr;      // the pending read's event, on the line's thread
    struct PendingRead;
    std::unique_ptr<PendingRead> m_read; // the read of one byte kept pending
    // Owned: received() told of what m_received holds and no read has taken
    // it since, so the next read need not ask the pending read again.
    bool m_delivered = false;
    std::thread m_reader;
    mutable std::mutex m_mutex;        // guards what follows
    std::condition_variable m_arrived; // bytes came or the line was lost, from the reader
    QByteArray m_received;
    bool m_deliveryPosted = false;
    std::atomic<bool> m_lost = false;
};

} // namespace romwright
