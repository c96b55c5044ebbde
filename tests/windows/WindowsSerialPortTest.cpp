// The Win32 serial port: what a failed open means, the device control block
// its settings become, and under Wine the table of its behaviour on a line
// that the POSIX port passes too. The program on a line is checked end to
// end under Wine (scripts/check-windows).
#include "platform/WindowsSerialPort.h"
#include "platform/DeviceAccess.h"
#include "platform/LineClock.h"
#include "platform/PortBehaviour.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>
#include <windows.h>

using namespace romwright;
using namespace romwright::test;

TEST(WindowsSerialPort, TellsAMissingPortFromOneHeldByAnotherProgram)
{
    const struct {
        DWORD error;
        CommError expected;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, CommError::NoSuchPort}, // no COM7 on this machine
        {ERROR_PATH_NOT_FOUND, CommError::NoSuchPort},
        {ERROR_ACCESS_DENIED, CommError::PortInUse}, // Windows' word for a port another program holds
        {ERROR_SHARING_VIOLATION, CommError::PortInUse},
        {ERROR_GEN_FAILURE, CommError::DeviceNotOpen},
    };
    for (const auto &c : cases)
        EXPECT_EQ(classifyOpenError(c.error), c.expected) << c.error;
}

TEST(WindowsSerialPort, SettingsFlowControlAndLinesIntoTheControlBlock)
{
    const struct {
        const char *settings;
        Handshaking handshaking;
        bool dtr, rts;
        DWORD baud;
        BYTE parity, byteSize, stopBits;
        bool outxCts, outX;
        DWORD dtrControl, rtsControl;
    } cases[] = {
        // What the bootloader dialogue writes: no lines, no flow control.
        {"38400,n,8,1", Handshaking::None, false, false, 38400, NOPARITY, 8, ONESTOPBIT, false, false,
         DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
        {"19200,n,8,1", Handshaking::None, true, true, 19200, NOPARITY, 8, ONESTOPBIT, false, false,
         DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
        {"9600,e,7,2", Handshaking::XonXoff, false, true, 9600, EVENPARITY, 7, TWOSTOPBITS, false, true,
         DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE},
        // RTS/CTS: the driver owns RTS, whatever RTSEnable says.
        {"115200,o,8,1.5", Handshaking::RtsCts, false, false, 115200, ODDPARITY, 8, ONE5STOPBITS, true, false,
         DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE},
        {"1200,m,5,1", Handshaking::Both, false, false, 1200, MARKPARITY, 5, ONESTOPBIT, true, true,
         DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE},
    };
    for (const auto &c : cases) {
        DCB dcb{};
        dcb.fNull = TRUE; // left over from another program: zero bytes are data here
        dcb.fAbortOnError = TRUE;
        fillDcb(dcb, {1, *LineSettings::parse(QString::fromLatin1(c.settings)), c.handshaking, c.dtr, c.rts});
        SCOPED_TRACE(c.settings);
        EXPECT_EQ(dcb.BaudRate, c.baud);
        EXPECT_EQ(dcb.Parity, c.parity);
        EXPECT_EQ(dcb.fParity, c.parity != NOPARITY);
        EXPECT_EQ(dcb.ByteSize, c.byteSize);
        EXPECT_EQ(dcb.StopBits, c.stopBits);
        EXPECT_EQ(bool(dcb.fOutxCtsFlow), c.outxCts);
        EXPECT_EQ(bool(dcb.fOutX), c.outX);
        EXPECT_EQ(bool(dcb.fInX), c.outX);
        EXPECT_EQ(dcb.fDtrControl, c.dtrControl);
        EXPECT_EQ(dcb.fRtsControl, c.rtsControl);
        EXPECT_TRUE(dcb.fBinary);
        EXPECT_FALSE(dcb.fNull);
        EXPECT_FALSE(dcb.fAbortOnError);
    }
}

TEST(WindowsSerialPort, PortNumbersAreComPorts)
{
    // Past COM9 only through \\.\; every port the system names is there.
    EXPECT_EQ(WindowsSerialPort(PortMap::windowsPorts()).deviceName(16), QStringLiteral("COM16"));
    for (const int n : PortMap::fromEnvironment().ports())
        EXPECT_TRUE(deviceAccess(QStringLiteral("COM%1").arg(n)).exists) << n;
}

namespace {

// Under Wine, COM1 and COM2 joined back to back by scripts/test-windows'
// line pair: the far end is COM2, and a word to the pair unplugs COM1.
class ComPairFarEnd final : public FarEnd {
public:
    ComPairFarEnd()
        : m_handle(CreateFileW(L"\\\\.\\COM2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                               nullptr))
    {
        EXPECT_NE(m_handle, INVALID_HANDLE_VALUE);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(m_handle, &dcb);
        fillDcb(dcb, {2, *LineSettings::parse(QStringLiteral("38400,n,8,1"))});
        SetCommState(m_handle, &dcb);
    }
    ~ComPairFarEnd() override
    {
        for (std::thread &sender : m_senders)
            sender.join();
        CloseHandle(m_handle);
    }
    QString portList() const override { return QStringLiteral("COM1,COM200"); }
    void sendAfter(std::chrono::milliseconds delay, const QByteArray &bytes) override
    {
        m_senders.emplace_back([this, delay, bytes] {
            Sleep(DWORD(delay.count()));
            DWORD written = 0;
            EXPECT_TRUE(WriteFile(m_handle, bytes.constData(), DWORD(bytes.size()), &written, nullptr));
        });
    }
    QByteArray heard(qsizetype count, std::chrono::milliseconds wait) override
    {
        COMMTIMEOUTS timeouts{0, 0, DWORD(wait.count()), 0, 0};
        SetCommTimeouts(m_handle, &timeouts);
        QByteArray got(count, '\0');
        DWORD read = 0;
        ReadFile(m_handle, got.data(), DWORD(count), &read, nullptr);
        got.truncate(read);
        return got;
    }
    void vanish() override { sendAfter(std::chrono::milliseconds(0), "\x01unplug\x01"); }

private:
    HANDLE m_handle;
    std::vector<std::thread> m_senders;
};

} // namespace

TEST(WindowsSerialPort, OnALinePairUnderWine)
{
    if (qEnvironmentVariableIsEmpty("ROMWRIGHT_LINE_PAIR"))
        GTEST_SKIP() << "no line pair: scripts/test-windows makes one";
    // The line thread's own port reads with blocking reads; a probe beside
    // it keeps an overlapped read pending. Both pass the same rows.
    checkPortBehaviour([] { return std::make_unique<ComPairFarEnd>(); },
                       [](const PortMap &map) { return std::make_unique<WindowsSerialPort>(map); });
    checkPortBehaviour([] { return std::make_unique<ComPairFarEnd>(); },
                       [](const PortMap &map) { return WindowsSerialPort(map).sibling(); });
}

// A line thread's waits with its reader open and a probe beside it: each
// ends a sleep with the bytes it brings, a wake-up ends one without a
// deadline, and the deadline ends one on a quiet line. Only lower bounds of
// real time are asserted, and upper ones far from what is due.
TEST(WindowsSerialPort, SleepsOnALineThreadWakeForTheReaderAProbeAndAWakeUp)
{
    if (qEnvironmentVariableIsEmpty("ROMWRIGHT_LINE_PAIR"))
        GTEST_SKIP() << "no line pair: scripts/test-windows makes one";
    using namespace std::chrono_literals;
    LineClock clock;
    const PortMap map = PortMap::fromList(QStringLiteral("COM1,COM2"));
    // Two ports of the line's own role: the first is the thread's reader,
    // the second finds the reader taken and is waited on as a probe is.
    WindowsSerialPort reader(map), second(map);
    PortSettings settings{1, *LineSettings::parse(QStringLiteral("38400,n,8,1"))};
    ASSERT_EQ(reader.open(settings), CommError::None);
    settings.port = 2;
    ASSERT_EQ(second.open(settings), CommError::None);
    int readerHeard = 0, secondHeard = 0;
    QObject::connect(&reader, &SerialPort::received, [&] { ++readerHeard; });
    QObject::connect(&second, &SerialPort::received, [&] { ++secondHeard; });
    const auto sleepFor = [&](Clock::ms bound, auto done) {
        const Clock::ms start = clock.now(), deadline = start + bound;
        while (!done() && clock.now() < deadline)
            clock.sleep(deadline);
        return clock.now() - start;
    };

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(second.write("p"), CommError::None);
        EXPECT_LT(sleepFor(10s, [&] { return readerHeard > round; }), 5s);
        EXPECT_EQ(reader.read(), QByteArray("p"));
        ASSERT_EQ(reader.write("S2"), CommError::None);
        EXPECT_LT(sleepFor(10s, [&] { return secondHeard > round; }), 5s);
        EXPECT_EQ(second.read(1s), QByteArray("S2"));
    }

    // A sleep without a deadline ends for another thread's wake-up (or at
    // the end of a slice: its caller looks at what it waits for either way).
    std::thread waker([&] {
        std::this_thread::sleep_for(100ms);
        clock.wake();
    });
    clock.sleep(std::nullopt);
    waker.join();

    EXPECT_GE(sleepFor(300ms, [] { return false; }), 300ms);
    EXPECT_TRUE(reader.isOpen() && second.isOpen());
    EXPECT_EQ(readerHeard, 3);
    EXPECT_EQ(secondHeard, 3);
}

// What --list-ports shows of an adapter comes from its device instance id.
TEST(WindowsSerialPort, AdapterIdsAndSerialNumberFromTheInstanceId)
{
    const struct {
        const char *instanceId;
        const char *vendor, *product, *serial;
    } cases[] = {
        {"USB\\VID_067B&PID_2303\\5&2F6A1B3C&0&1", "067b", "2303", ""}, // no serial: the system made one up
        {"USB\\VID_10C4&PID_EA60\\0001", "10c4", "ea60", "0001"},
        {"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "0403", "6001", "A50285BI"}, // FTDI's own driver
        {"usb\\vid_1a86&pid_7523\\6&1234", "1a86", "7523", ""},
        {"ACPI\\PNP0501\\1", "", "", ""}, // the machine's own port
    };
    for (const auto &c : cases) {
        const PortDetails details = detailsFromInstanceId(QString::fromLatin1(c.instanceId));
        SCOPED_TRACE(c.instanceId);
        EXPECT_EQ(details.vendorId, QLatin1String(c.vendor));
        EXPECT_EQ(details.productId, QLatin1String(c.product));
        EXPECT_EQ(details.serialNumber, QLatin1String(c.serial));
    }
}
