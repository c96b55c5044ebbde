#include "platform/PosixSerialPort.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <QScopeGuard>

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace romwright {

namespace {

// Long enough for a full output buffer at the slowest rate the program uses.
constexpr int kWriteBoundMs = 5000;

// A pseudo-terminal has no transmitter to drain: its bytes count as sent
// once the far end has read them, which a drain cannot wait for. The far end
// (the simulator) takes them within microseconds and learns of a rate change
// at once; a few quiet milliseconds on both sides of the change keep the
// bytes before it apart from those after it. The quiet is kept, not slept:
// a change long after the last write waits for nothing, and the wait after
// it falls on the next write, so that several ports changed one after
// another share one quiet instead of queueing theirs.
std::chrono::milliseconds pseudoTerminalQuiet{10};

void sleepUntil(std::chrono::steady_clock::time_point until)
{
    if (until > std::chrono::steady_clock::now())
        std::this_thread::sleep_until(until);
}

bool isPseudoTerminal(int fd)
{
    struct stat st {};
    // Unix98 pseudo-terminal slaves have the majors 136 to 143.
    return ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
           major(st.st_rdev) <= 143;
}

QSerialPort::Parity qtParity(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::None:
        break;
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits qtStopBits(LineSettings::StopBits stopBits)
{
    switch (stopBits) {
    case LineSettings::StopBits::One:
        break;
    case LineSettings::StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case LineSettings::StopBits::Two:
        return QSerialPort::TwoStop;
    }
    return QSerialPort::OneStop;
}

// Rate, parity, data bits and stop bits, in that order; false at the first
// the port refuses.
bool applyLine(QSerialPort &port, const LineSettings &line)
{
    return port.setBaudRate(line.baud) && port.setParity(qtParity(line.parity)) &&
           port.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits)) &&
           port.setStopBits(qtStopBits(line.stopBits));
}

QSerialPort::FlowControl qtFlow(Handshaking handshaking)
{
    switch (handshaking) {
    case Handshaking::None:
        break;
    case Handshaking::XonXoff:
        return QSerialPort::SoftwareControl;
    case Handshaking::RtsCts:
    case Handshaking::Both:
        return QSerialPort::HardwareControl;
    }
    return QSerialPort::NoFlowControl;
}

} // namespace

CommError classifyOpenFailure(QSerialPort::SerialPortError error, bool deviceExists, bool userMayOpen)
{
    if (!deviceExists || error == QSerialPort::DeviceNotFoundError)
        return CommError::NoSuchPort;
    if (!userMayOpen)
        return CommError::PermissionDenied;
    switch (error) {
    case QSerialPort::PermissionError: // lock file or exclusive terminal of another program
    case QSerialPort::OpenError:
        return CommError::PortInUse;
    default:
        return CommError::DeviceNotOpen;
    }
}

std::unique_ptr<SerialPort> makeSystemSerialPort(const PortMap &map)
{
    return std::make_unique<PosixSerialPort>(map);
}

PosixSerialPort::PosixSerialPort(QObject *parent) : PosixSerialPort(PortMap::fromEnvironment(), parent) {}

PosixSerialPort::PosixSerialPort(const PortMap &map, QObject *parent) : SerialPort(parent), m_map(map)
{
    m_port.setParent(this); // moves to another thread with the port
    connect(&m_port, &QSerialPort::readyRead, this, &PosixSerialPort::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &PosixSerialPort::onError);
}

PosixSerialPort::~PosixSerialPort()
{
    release();
}

std::unique_ptr<SerialPort> PosixSerialPort::sibling() const
{
    return std::make_unique<PosixSerialPort>(m_map);
}

void PosixSerialPort::setPseudoTerminalQuiet(std::chrono::milliseconds quiet)
{
    pseudoTerminalQuiet = quiet;
}

CommError PosixSerialPort::openPort(const PortSettings &next)
{
    if (!isOpen()) {
        if (m_port.isOpen())
            release(); // a lost line still holding its handle
        return openDevice(next);
    }
    const PortSettings &was = portSettings();
    if (!changeLine(next.line))
        return CommError::ValueRefused;
    if (next.handshaking != was.handshaking && !m_port.setFlowControl(qtFlow(next.handshaking))) {
        m_port.clearError();
        return CommError::ValueRefused;
    }
    if (next.dtr != was.dtr || next.rts != was.rts || next.handshaking != was.handshaking)
        applyLines(next.dtr, next.rts);
    return CommError::None;
}

bool PosixSerialPort::changeLine(const LineSettings &next)
{
    // Bytes still on their way must leave at the old rate: push Qt's
    // buffer to the device, then let the device send them.
    const QDeadlineTimer deadline(kWriteBoundMs);
    while (m_port.bytesToWrite() > 0 && !deadline.hasExpired())
        if (!m_port.waitForBytesWritten(int(deadline.remainingTime())))
            break;
    ::tcdrain(int(m_port.handle()));
    const bool quiet = next.baud != portSettings().line.baud && isPseudoTerminal(int(m_port.handle()));
    if (quiet && m_lastWrite)
        sleepUntil(*m_lastWrite + pseudoTerminalQuiet);
    const bool ok = applyLine(m_port, next);
    if (quiet)
        m_quietUntil = std::chrono::steady_clock::now() + pseudoTerminalQuiet;
    if (!ok)
        m_port.clearError();
    return ok;
}

CommError PosixSerialPort::applyLines(bool dtr, bool rts)
{
    // Lines a device cannot set (a pseudo-terminal has neither) are no failure.
    if (!m_port.setDataTerminalReady(dtr))
        m_port.clearError();
    if (portSettings().handshaking < Handshaking::RtsCts && !m_port.setRequestToSend(rts))
        m_port.clearError();
    return CommError::None;
}

CommError PosixSerialPort::openDevice(const PortSettings &settings)
{
    const QString device = deviceName(settings.port);
    if (device.isEmpty())
        return CommError::NoSuchPort;
    const QByteArray path = QFile::encodeName(device);
    const bool exists = QFileInfo::exists(device);
    const bool userMayOpen = !exists || ::access(path.constData(), R_OK | W_OK) == 0 || errno != EACCES;
    if (!exists || !userMayOpen)
        return classifyOpenFailure(QSerialPort::NoError, exists, userMayOpen);
    m_port.setPortName(device);
    applyLine(m_port, settings.line); // a closed port keeps them all for the open
    m_port.setFlowControl(qtFlow(settings.handshaking));
    if (!m_port.open(QIODevice::ReadWrite)) {
        const CommError error = classifyOpenFailure(m_port.error(), exists, userMayOpen);
        m_port.clearError();
        return error;
    }
    // Root passes the terminal's exclusive mode and other programs may name
    // the device by another path than the lock file's; a lock on the open
    // device itself holds against both.
    if (::flock(int(m_port.handle()), LOCK_EX | LOCK_NB) != 0) {
        m_port.close();
        m_port.clearError();
        return CommError::PortInUse;
    }
    m_lost = false;
    lineWaits::join(*this);
    m_latency.lower(int(m_port.handle()), device);
    applyLines(settings.dtr, settings.rts);
    m_port.clearError();
    return CommError::None;
}

CommError PosixSerialPort::closePort()
{
    if (!isOpen() && !m_port.isOpen())
        return CommError::PortNotOpen;
    release();
    return CommError::None;
}

void PosixSerialPort::release()
{
    lineWaits::leave(*this);
    if (m_port.isOpen()) {
        m_latency.restore(int(m_port.handle()));
        m_port.close();
    }
    m_port.clearError();
    m_lost = false;
    m_delivered = false;
    m_lastWrite.reset();
    m_quietUntil.reset();
}

bool PosixSerialPort::isOpen() const
{
    return m_port.isOpen() && !m_lost;
}

CommError PosixSerialPort::write(const QByteArray &bytes)
{
    if (!isOpen())
        return CommError::PortNotOpen;
    if (bytes.isEmpty())
        return CommError::None;
    if (m_quietUntil) {
        sleepUntil(*m_quietUntil);
        m_quietUntil.reset();
    }
    const auto sent = qScopeGuard([this] { m_lastWrite = std::chrono::steady_clock::now(); });
    QByteArray rest = bytes;
    // With nothing queued in Qt's buffer the bytes go straight to the device:
    // Qt's own way (queue, arm the write notifier, wait for it, write, disarm)
    // costs several system calls before the first byte leaves, and in the
    // firmware pass that delay comes between every acknowledgement and the
    // next record. What the device does not take (a full buffer), and any
    // failure, goes Qt's way, which waits for room and reports a lost line.
    if (m_port.bytesToWrite() == 0) {
        const ssize_t written = ::write(int(m_port.handle()), bytes.constData(), std::size_t(bytes.size()));
        if (written == bytes.size())
            return CommError::None;
        if (written > 0)
            rest = bytes.sliced(written);
    }
    if (m_port.write(rest) != rest.size())
        return CommError::WriteFailed;
    // The caller may pause or change the rate right after this returns, so
    // the bytes go to the device now rather than on the next event loop pass.
    const QDeadlineTimer deadline(kWriteBoundMs);
    while (m_port.bytesToWrite() > 0) {
        if (m_lost || deadline.hasExpired() || !m_port.waitForBytesWritten(int(deadline.remainingTime())))
            return m_port.bytesToWrite() > 0 || m_lost ? CommError::WriteFailed : CommError::None;
    }
    return m_lost ? CommError::WriteFailed : CommError::None;
}

void PosixSerialPort::pullPending() const
{
    if (!isOpen())
        return;
    pollfd p{int(m_port.handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) && !(p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        m_pulling = true;
        m_port.waitForReadyRead(0);
        m_pulling = false;
    }
}

int PosixSerialPort::bytesWaiting() const
{
    pullPending();
    return isOpen() ? int(m_port.bytesAvailable()) : 0;
}

QByteArray PosixSerialPort::read(std::chrono::milliseconds wait)
{
    // Bytes just delivered are taken without asking the device again: each
    // look at it costs a system call, and in the firmware pass one comes
    // between every acknowledgement and the next record.
    if (!std::exchange(m_delivered, false) || m_port.bytesAvailable() == 0)
        pullPending();
    if (wait.count() > 0)
        awaitBytes(wait);
    return isOpen() ? m_port.readAll() : QByteArray();
}

void PosixSerialPort::awaitBytes(std::chrono::milliseconds wait)
{
    using namespace std::chrono;
    const steady_clock::time_point until = steady_clock::now() + wait;
    while (isOpen() && m_port.bytesAvailable() == 0) {
        const milliseconds left = ceil<milliseconds>(until - steady_clock::now());
        if (left.count() <= 0)
            return;
        pollfd p{int(m_port.handle()), POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready < 0 && errno != EINTR)
            return;
        if (ready == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            m_lost = true;
            dropLine();
        } else if (ready == 1) {
            pullPending();
        }
    }
}

CommError PosixSerialPort::discard(Discard what)
{
    if (!isOpen())
        return CommError::PortNotOpen;
    if (what == Discard::Output) {
        m_port.clear(QSerialPort::Output);
        return CommError::None;
    }
    m_port.clear(QSerialPort::Input);
    m_port.readAll(); // Qt's own buffer as well as the device's
    m_delivered = false;
    return CommError::None;
}

void PosixSerialPort::onReadyRead()
{
    if (!m_pulling && !m_lost) {
        m_delivered = true;
        emit received();
    }
}

bool PosixSerialPort::lineDown() const
{
    pollfd p{int(m_port.handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

void PosixSerialPort::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        if (m_port.isOpen() && !m_lost && lineDown()) {
            m_lost = true;
            // Closed from the event loop: Qt is still inside its own handler here.
            QMetaObject::invokeMethod(this, &PosixSerialPort::dropLine, Qt::QueuedConnection);
        } else if (error == QSerialPort::ResourceError && m_port.isOpen() && !m_lost) {
            // A read notification for bytes a direct read already took:
            // nothing is wrong, so listen again.
            m_port.clearError();
            m_port.setReadBufferSize(0);
        }
        break;
    default:
        break;
    }
}

void PosixSerialPort::serve()
{
    if (!m_port.isOpen() || m_lost)
        return;
    m_port.waitForReadyRead(0); // takes what came; readyRead tells the listeners
    // Nothing read: the descriptor was ready for a hang-up.
    if (!m_lost && m_port.bytesAvailable() == 0 && lineDown())
        m_lost = true;
    dropLine(); // at once: no event loop runs on this thread to do it later
}

void PosixSerialPort::dropLine()
{
    if (!m_lost)
        return;
    lineWaits::leave(*this);
    if (m_port.isOpen()) {
        m_latency.restore(int(m_port.handle())); // fails quietly when the adapter is gone
        m_port.close();
    }
    m_port.clearError();
    emit lineLost();
}

} // namespace romwright
