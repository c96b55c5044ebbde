#include "platform/WindowsSerialPort.h"

#include <QMetaObject>

#include <algorithm>

#include <windows.h>

namespace romwright {

namespace {

// Long enough for a full output buffer at the slowest rate the program uses.
constexpr DWORD kWriteBoundMs = 5000;

// A pending read returns as soon as a byte has come, or empty after this
// long, when the reader simply asks again: an idle port wakes its thread
// once in so long, never the event loop.
constexpr DWORD kReadWaitMs = 10000;

// An empty read well before kReadWaitMs is no time-out: a driver that keeps
// answering so has lost its line.
constexpr DWORD kEarlyEmptyMs = kReadWaitMs / 2;
constexpr int kEarlyEmptiesForLost = 3;

// Counts an empty read into earlyEmpties (a late one starts it again); true
// once so many early ones in a row say the line is lost.
bool emptyReadLosesLine(int &earlyEmpties, bool early)
{
    earlyEmpties = early ? earlyEmpties + 1 : 0;
    return earlyEmpties >= kEarlyEmptiesForLost;
}
// A blocking read shorter than this (the last before a deadline) is not
// held to coming back late.
constexpr std::chrono::milliseconds kShortestTimedRead{20};

// The driver's own buffers; the control's small input buffer is kept for
// the record only, since the reader empties the driver as bytes come.
constexpr DWORD kDriverBufferBytes = 4096;

// The message the reader thread posts to the port's window when bytes have
// come for input().
constexpr UINT kBytesCame = WM_APP + 1;

// Bytes sent just before a rate change must leave at the old rate. The
// driver's flush waits for a real transmitter; a pseudo-terminal mapped to
// a COM port (Wine) has none, and its far end learns of the new rate at
// once, so a few quiet milliseconds on both sides keep the bytes apart.
constexpr DWORD kRateChangeQuietMs = 10;

HANDLE handleOf(void *handle)
{
    return static_cast<HANDLE>(handle);
}

BYTE parityOf(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::None:
        break;
    case LineSettings::Parity::Even:
        return EVENPARITY;
    case LineSettings::Parity::Odd:
        return ODDPARITY;
    case LineSettings::Parity::Mark:
        return MARKPARITY;
    case LineSettings::Parity::Space:
        return SPACEPARITY;
    }
    return NOPARITY;
}

BYTE stopBitsOf(LineSettings::StopBits stopBits)
{
    switch (stopBits) {
    case LineSettings::StopBits::One:
        break;
    case LineSettings::StopBits::OneAndHalf:
        return ONE5STOPBITS;
    case LineSettings::StopBits::Two:
        return TWOSTOPBITS;
    }
    return ONESTOPBIT;
}

// Waits for an overlapped operation to finish; false when it failed.
bool finish(HANDLE port, OVERLAPPED &overlapped, DWORD &transferred)
{
    return GetOverlappedResult(port, &overlapped, &transferred, TRUE) != FALSE;
}

} // namespace

// The owner's thread learns of new bytes through a message-only window: a
// posted message wakes its event loop, a nested one and a dialog's own loop
// alike, and is handed straight to the window. The same through Qt's posted
// events costs the event loop a timer set and killed and two more looks at
// the queue for every wake-up, all of it between an acknowledgement and the
// next record.
struct PortNotifier {
    static constexpr const wchar_t *kClass = L"RomwrightSerialPortNotifier";

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != kBytesCame)
            return DefWindowProcW(window, message, wParam, lParam);
        if (auto *port = reinterpret_cast<WindowsSerialPort *>(GetWindowLongPtrW(window, GWLP_USERDATA)))
            port->deliver();
        return 0;
    }

    // A window for port on the calling thread; nullptr when the system gives none.
    static HWND make(WindowsSerialPort *port)
    {
        static const bool registered = [] {
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof windowClass;
            windowClass.lpfnWndProc = &PortNotifier::procedure;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = kClass;
            return RegisterClassExW(&windowClass) != 0;
        }();
        if (!registered)
            return nullptr;
        HWND window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        if (window)
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(port));
        return window;
    }
};

struct WindowsSerialPort::PendingRead {
    OVERLAPPED overlapped{};
    char byte = 0;
    ULONGLONG asked = 0; // when it was asked, for the early empties
    int earlyEmpties = 0;
    bool armed = false; // asked and not yet taken
};

CommError classifyOpenError(unsigned long win32Error)
{
    switch (win32Error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return CommError::NoSuchPort;
    case ERROR_ACCESS_DENIED: // a COM port is granted to one handle at a time
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return CommError::PortInUse;
    default:
        return CommError::DeviceNotOpen;
    }
}

void fillDcb(DCB &dcb, const PortSettings &settings)
{
    const LineSettings &line = settings.line;
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = DWORD(line.baud);
    dcb.ByteSize = BYTE(line.dataBits);
    dcb.Parity = parityOf(line.parity);
    dcb.StopBits = stopBitsOf(line.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = line.parity != LineSettings::Parity::None;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE; // zero bytes are data
    dcb.fAbortOnError = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = settings.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    const bool hardware = settings.handshaking >= Handshaking::RtsCts;
    const bool software =
        settings.handshaking == Handshaking::XonXoff || settings.handshaking == Handshaking::Both;
    dcb.fOutxCtsFlow = hardware;
    dcb.fRtsControl = hardware       ? RTS_CONTROL_HANDSHAKE
                      : settings.rts ? RTS_CONTROL_ENABLE
                                     : RTS_CONTROL_DISABLE;
    dcb.fOutX = software;
    dcb.fInX = software;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 512;
    dcb.XoffLim = 512;
}

std::unique_ptr<SerialPort> makeSystemSerialPort(const PortMap &map)
{
    return std::make_unique<WindowsSerialPort>(map);
}

WindowsSerialPort::WindowsSerialPort(const PortMap &map, Role role, QObject *parent)
    : SerialPort(parent), m_map(map), m_role(role)
{
}

WindowsSerialPort::~WindowsSerialPort()
{
    release();
    if (m_notifier)
        DestroyWindow(static_cast<HWND>(m_notifier)); // a message still on its way goes with it
}

std::unique_ptr<SerialPort> WindowsSerialPort::sibling() const
{
    return std::make_unique<WindowsSerialPort>(m_map, Role::Probe);
}

bool WindowsSerialPort::applySettings(const PortSettings &settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handleOf(m_handle), &dcb))
        return false;
    fillDcb(dcb, settings);
    return SetCommState(handleOf(m_handle), &dcb) != FALSE;
}

CommError WindowsSerialPort::openPort(const PortSettings &next)
{
    if (!isOpen()) {
        release(); // a lost line still holding its handle
        return openDevice(next);
    }
    const bool rateChange = next.line.baud != portSettings().line.baud;
    // What was written leaves at the old rate before the new one applies.
    FlushFileBuffers(handleOf(m_handle));
    if (rateChange && m_sentSinceRateChange)
        Sleep(kRateChangeQuietMs);
    m_sentSinceRateChange = false;
    const bool ok = applySettings(next);
    if (rateChange)
        Sleep(kRateChangeQuietMs);
    return ok ? CommError::None : CommError::ValueRefused;
}

CommError WindowsSerialPort::applyLines(bool dtr, bool rts)
{
    // Lines some devices lack; their absence is no failure.
    EscapeCommFunction(handleOf(m_handle), dtr ? SETDTR : CLRDTR);
    if (portSettings().handshaking < Handshaking::RtsCts)
        EscapeCommFunction(handleOf(m_handle), rts ? SETRTS : CLRRTS);
    return CommError::None;
}

CommError WindowsSerialPort::closePort()
{
    if (!m_handle)
        return CommError::PortNotOpen;
    release();
    return CommError::None;
}

CommError WindowsSerialPort::openDevice(const PortSettings &settings)
{
    const QString device = deviceName(settings.port);
    if (device.isEmpty())
        return CommError::NoSuchPort;
    m_lineOwned = lineWaits::owned();
    m_blocking = m_lineOwned && m_role == Role::Line && !lineReader::current();
    // The \\.\ form reaches COM10 and above as well as COM1 to COM9.
    const std::wstring path = L"\\\\.\\" + device.toStdWString();
    HANDLE port = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              m_blocking ? 0 : FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return classifyOpenError(GetLastError());
    m_handle = port;
    SetupComm(port, kDriverBufferBytes, kDriverBufferBytes);
    // A read returns as soon as one byte has come (or after its bound), and
    // at once with what is waiting. Of the ways to wait for bytes this is the
    // quickest under Wine as well (bench/flash-throughput --windows); a read
    // asking for more than comes would wait out the whole time there. A
    // blocking write gives up after kWriteBoundMs.
    m_readBoundMs = m_blocking ? DWORD(LineReader::kReadSlice.count()) : kReadWaitMs;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = m_readBoundMs;
    timeouts.WriteTotalTimeoutConstant = m_blocking ? kWriteBoundMs : 0;
    if (!applySettings(settings) || !SetCommTimeouts(port, &timeouts)) {
        CloseHandle(port);
        m_handle = nullptr;
        return CommError::DeviceNotOpen;
    }
    PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_writeDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_lost = false;
    m_sentSinceRateChange = false;
    {
        const std::lock_guard lock(m_mutex);
        m_received.clear();
    }
    m_earlyEmpties = 0;
    if (m_blocking) {
        lineReader::claim(*this);
        return CommError::None;
    }
    if (m_lineOwned) {
        m_readDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_read = std::make_unique<PendingRead>();
        m_read->overlapped.hEvent = handleOf(m_readDone);
        if (!armRead()) {
            release();
            return CommError::DeviceNotOpen;
        }
        lineWaits::join(*this);
        return CommError::None;
    }
    if (!m_notifier)
        m_notifier = PortNotifier::make(this);
    m_reader = std::thread([this] { readLoop(); });
    return CommError::None;
}

void WindowsSerialPort::release()
{
    if (!m_handle)
        return;
    SetEvent(handleOf(m_stop));
    if (m_reader.joinable())
        m_reader.join();
    lineWaits::leave(*this);
    lineReader::release(*this);
    if (m_read) {
        DWORD got = 0;
        if (CancelIoEx(handleOf(m_handle), &m_read->overlapped) || GetLastError() != ERROR_NOT_FOUND)
            finish(handleOf(m_handle), m_read->overlapped, got);
        m_read.reset();
        CloseHandle(handleOf(m_readDone));
        m_readDone = nullptr;
    }
    CloseHandle(handleOf(m_handle));
    CloseHandle(handleOf(m_stop));
    CloseHandle(handleOf(m_writeDone));
    m_handle = m_stop = m_writeDone = nullptr;
    m_delivered = false;
    m_blocking = false;
    const std::lock_guard lock(m_mutex);
    m_received.clear();
    m_deliveryPosted = false; // a message still on its way finds nothing
    m_lost = false;
}

bool WindowsSerialPort::isOpen() const
{
    return m_handle && !m_lost;
}

CommError WindowsSerialPort::write(const QByteArray &bytes)
{
    if (!isOpen())
        return CommError::PortNotOpen;
    if (bytes.isEmpty())
        return CommError::None;
    m_sentSinceRateChange = true;
    HANDLE port = handleOf(m_handle);
    if (m_blocking) {
        DWORD written = 0; // bounded by the port's write time-out
        const bool ok = WriteFile(port, bytes.constData(), DWORD(bytes.size()), &written, nullptr);
        return ok && written == DWORD(bytes.size()) ? CommError::None : CommError::WriteFailed;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = handleOf(m_writeDone); // WriteFile resets it
    DWORD written = 0;
    if (!WriteFile(port, bytes.constData(), DWORD(bytes.size()), &written, &overlapped)) {
        if (GetLastError() != ERROR_IO_PENDING)
            return CommError::WriteFailed;
        // Bounded: a line held by flow control must not hang the program.
        if (WaitForSingleObject(overlapped.hEvent, kWriteBoundMs) != WAIT_OBJECT_0)
            CancelIoEx(port, &overlapped);
        if (!finish(port, overlapped, written))
            return CommError::WriteFailed;
    }
    return written == DWORD(bytes.size()) ? CommError::None : CommError::WriteFailed;
}

int WindowsSerialPort::bytesWaiting() const
{
    if (m_lineOwned && isOpen())
        const_cast<WindowsSerialPort *>(this)->takePending(); // a count sees what came during a pause
    return isOpen() ? heldCount() : 0;
}

QByteArray WindowsSerialPort::read(std::chrono::milliseconds wait)
{
    // Bytes just served are handed out without asking the pending read again.
    if (m_lineOwned && isOpen() && !std::exchange(m_delivered, false))
        takePending();
    if (wait.count() > 0 && isOpen() && heldCount() == 0)
        awaitBytes(wait);
    return takeReceived();
}

void WindowsSerialPort::awaitBytes(std::chrono::milliseconds wait)
{
    using namespace std::chrono;
    const steady_clock::time_point until = steady_clock::now() + wait;
    if (m_blocking) {
        while (isOpen() && heldCount() == 0) {
            const milliseconds left = ceil<milliseconds>(until - steady_clock::now());
            if (left.count() <= 0)
                return;
            // In slices, as the waits read: a lost line shows within one.
            if (!readBlocking(std::min(left, LineReader::kReadSlice))) {
                m_lost = true;
                dropLine();
                return;
            }
        }
        return;
    }
    if (!m_lineOwned) {
        std::unique_lock lock(m_mutex);
        m_arrived.wait_until(lock, until, [this] { return !m_received.isEmpty() || m_lost; });
        lock.unlock();
        if (m_lost)
            dropLine();
        return;
    }
    while (isOpen() && heldCount() == 0) {
        const milliseconds left = ceil<milliseconds>(until - steady_clock::now());
        if (left.count() <= 0 ||
            WaitForSingleObject(handleOf(m_readDone), DWORD(left.count())) != WAIT_OBJECT_0)
            return;
        takePending();
    }
}

QByteArray WindowsSerialPort::takeReceived()
{
    if (!isOpen())
        return QByteArray();
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_received, QByteArray());
}

CommError WindowsSerialPort::discard(Discard what)
{
    if (!isOpen())
        return CommError::PortNotOpen;
    if (what == Discard::Output) {
        PurgeComm(handleOf(m_handle), PURGE_TXCLEAR);
        return CommError::None;
    }
    // The driver's buffer first, then what the reader has taken from it.
    if (m_lineOwned)
        takePending(); // a byte the pending read holds is stale as well
    PurgeComm(handleOf(m_handle), PURGE_RXCLEAR);
    m_delivered = false;
    const std::lock_guard lock(m_mutex);
    m_received.clear();
    return CommError::None;
}

bool WindowsSerialPort::armRead()
{
    // One byte: the read returns the moment it comes (asking for more
    // would wait for all of it). ReadFile resets the event; a read that
    // completes at once sets it as well, so the wait finds it either way.
    m_read->asked = GetTickCount64();
    m_read->armed = ReadFile(handleOf(m_handle), &m_read->byte, 1, nullptr, &m_read->overlapped) ||
                    GetLastError() == ERROR_IO_PENDING;
    return m_read->armed;
}

bool WindowsSerialPort::pull()
{
    // A completed read's result is in the OVERLAPPED itself, so asking for
    // it costs no call into the system; what else the driver holds is taken
    // at once, so that a read sees everything that has come.
    //
    // Bytes taken leave the read unasked until the port is next looked at:
    // in the firmware pass that is after the next record has gone, so the
    // acknowledgement is followed by the record alone, and the read asked
    // while the record is on the wire. Its event stays set meanwhile, so a
    // wait on it comes straight here and asks again.
    for (;;) {
        if (!m_read->armed && !armRead())
            return false;
        DWORD got = 0;
        if (!GetOverlappedResult(handleOf(m_handle), &m_read->overlapped, &got, FALSE)) {
            const DWORD error = GetLastError();
            if (error == ERROR_IO_INCOMPLETE)
                return true;                      // nothing more yet
            if (error != ERROR_OPERATION_ABORTED) // a purge that aborted the read
                return false;
        } else if (got == 0) {
            // The wait ran out on a quiet line; a driver that answers so
            // well before it has lost its line.
            PendingRead &read = *m_read;
            if (emptyReadLosesLine(read.earlyEmpties, GetTickCount64() - read.asked < kEarlyEmptyMs))
                return false;
        } else {
            m_read->earlyEmpties = 0;
            m_read->armed = false;
            const QByteArray more = drainDriver();
            const std::lock_guard lock(m_mutex);
            m_received.append(m_read->byte);
            m_received.append(more);
            return true;
        }
        m_read->armed = false;
    }
}

QByteArray WindowsSerialPort::drainDriver()
{
    HANDLE port = handleOf(m_handle);
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port, &errors, &status) || status.cbInQue == 0)
        return QByteArray();
    QByteArray bytes(qsizetype(status.cbInQue), Qt::Uninitialized);
    DWORD got = 0;
    if (m_blocking) {
        // At once: the bytes are there, and a read returns with what is.
        if (!ReadFile(port, bytes.data(), status.cbInQue, &got, nullptr))
            got = 0;
        bytes.truncate(qsizetype(got));
        return bytes;
    }
    OVERLAPPED drain{};
    drain.hEvent = handleOf(m_writeDone); // free: writes and reads are on this one thread
    if (!ReadFile(port, bytes.data(), status.cbInQue, &got, &drain) &&
        (GetLastError() != ERROR_IO_PENDING || !finish(port, drain, got)))
        got = 0;
    bytes.truncate(qsizetype(got));
    return bytes;
}

bool WindowsSerialPort::setReadBound(std::chrono::milliseconds bound)
{
    // Each change is a call into the driver (and Wine's server): a wait
    // reads in whole slices, and only the last before a deadline is shorter.
    const DWORD ms = DWORD(std::clamp<long long>(bound.count(), 1, kReadWaitMs));
    if (ms == m_readBoundMs)
        return true;
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, ms, 0, kWriteBoundMs};
    if (!SetCommTimeouts(handleOf(m_handle), &timeouts))
        return false;
    m_readBoundMs = ms;
    return true;
}

bool WindowsSerialPort::readBlocking(std::chrono::milliseconds bound)
{
    using namespace std::chrono;
    if (!setReadBound(bound))
        return false;
    char byte = 0;
    DWORD got = 0;
    const steady_clock::time_point asked = steady_clock::now();
    if (!ReadFile(handleOf(m_handle), &byte, 1, &got, nullptr))
        return GetLastError() == ERROR_OPERATION_ABORTED; // a purge, not a lost line
    if (got == 0) {
        // The bound passed on a quiet line. A driver that answers so well
        // before it has lost its line; so has one that no longer tells its
        // state (Wine, once the device has hung up, returns empty at the
        // bound and refuses every other call).
        const bool early = bound >= kShortestTimedRead && steady_clock::now() - asked < bound / 2;
        DWORD errors = 0;
        COMSTAT status{};
        return !emptyReadLosesLine(m_earlyEmpties, early) &&
               ClearCommError(handleOf(m_handle), &errors, &status);
    }
    m_earlyEmpties = 0;
    const QByteArray more = drainDriver();
    const std::lock_guard lock(m_mutex);
    m_received.append(byte);
    m_received.append(more);
    return true;
}

void WindowsSerialPort::takeHeld()
{
    const QByteArray more = drainDriver();
    if (!more.isEmpty()) {
        const std::lock_guard lock(m_mutex);
        m_received.append(more);
    }
}

void WindowsSerialPort::readFor(std::chrono::milliseconds bound)
{
    if (!isOpen())
        return;
    const int had = heldCount();
    if (!readBlocking(bound)) {
        m_lost = true;
        dropLine();
    } else if (heldCount() > had) {
        m_delivered = true;
        emit received();
    }
}

void WindowsSerialPort::takePending()
{
    if (m_blocking) {
        takeHeld(); // a lost line shows in the next blocking read
        return;
    }
    if (!pull()) {
        m_lost = true;
        dropLine();
    }
}

void WindowsSerialPort::serve()
{
    if (!m_handle || m_lost)
        return;
    const int had = heldCount();
    takePending();
    if (isOpen() && heldCount() > had) {
        m_delivered = true;
        emit received();
    }
}

int WindowsSerialPort::heldCount() const
{
    const std::lock_guard lock(m_mutex);
    return int(m_received.size());
}

void WindowsSerialPort::readLoop()
{
    HANDLE port = handleOf(m_handle);
    HANDLE stop = handleOf(m_stop);
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[kDriverBufferBytes];
    bool lost = false;
    int earlyEmpties = 0;
    for (;;) {
        // One byte: the read returns the moment it comes (asking for more
        // would wait for all of it). ReadFile resets the event.
        const ULONGLONG asked = GetTickCount64();
        DWORD got = 0;
        if (!ReadFile(port, buffer, 1, &got, &overlapped)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                lost = true;
                break;
            }
            const HANDLE events[2] = {overlapped.hEvent, stop};
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
                CancelIoEx(port, &overlapped);
                finish(port, overlapped, got);
                break;
            }
            if (!GetOverlappedResult(port, &overlapped, &got, FALSE)) {
                if (GetLastError() == ERROR_OPERATION_ABORTED)
                    continue; // a purge that aborted the read, not a lost line
                lost = true;
                break;
            }
        }
        if (got == 0) {
            if (emptyReadLosesLine(earlyEmpties, GetTickCount64() - asked < kEarlyEmptyMs)) {
                lost = true;
                break;
            }
            continue; // the wait ran out on a quiet line: ask again
        }
        earlyEmpties = 0;
        // Whatever else has come is in the driver already: take it at once.
        DWORD errors = 0;
        COMSTAT status{};
        DWORD more = 0;
        if (ClearCommError(port, &errors, &status) && status.cbInQue > 0) {
            const DWORD want = std::min<DWORD>(status.cbInQue, sizeof buffer - 1);
            if (!ReadFile(port, buffer + 1, want, &more, &overlapped) &&
                (GetLastError() != ERROR_IO_PENDING || !finish(port, overlapped, more)))
                more = 0;
        }
        bool post = false;
        {
            const std::lock_guard lock(m_mutex);
            m_received.append(buffer, qsizetype(1 + more));
            post = !std::exchange(m_deliveryPosted, true);
        }
        m_arrived.notify_all();
        // Outside the lock: the owner's thread, woken, takes it at once.
        if (post)
            notify();
    }
    CloseHandle(overlapped.hEvent);
    if (lost && WaitForSingleObject(stop, 0) != WAIT_OBJECT_0) {
        {
            const std::lock_guard lock(m_mutex);
            m_lost = true;
        }
        m_arrived.notify_all();
        QMetaObject::invokeMethod(this, &WindowsSerialPort::dropLine, Qt::QueuedConnection);
    }
}

void WindowsSerialPort::notify()
{
    if (!m_notifier || !PostMessageW(static_cast<HWND>(m_notifier), kBytesCame, 0, 0))
        QMetaObject::invokeMethod(this, &WindowsSerialPort::deliver, Qt::QueuedConnection);
}

void WindowsSerialPort::deliver()
{
    bool any = false;
    {
        const std::lock_guard lock(m_mutex);
        m_deliveryPosted = false;
        any = !m_received.isEmpty();
    }
    if (any && isOpen())
        emit received();
}

void WindowsSerialPort::dropLine()
{
    if (!m_lost || !m_handle)
        return;
    release();
    emit lineLost();
}

} // namespace romwright
