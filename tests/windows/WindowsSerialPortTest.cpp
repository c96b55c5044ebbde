// The Win32 serial port's pure parts: what a failed open means, and the
// device control block a settings string becomes. The port on a line is
// checked end to end under Wine (scripts/check-windows).
#include "platform/WindowsSerialPort.h"
#include "platform/DeviceAccess.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace romwright;

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
        int handshaking;
        bool dtr, rts;
        DWORD baud;
        BYTE parity, byteSize, stopBits;
        bool outxCts, outX;
        DWORD dtrControl, rtsControl;
    } cases[] = {
        // What the bootloader dialogue writes: no lines, no flow control.
        {"38400,n,8,1", 0, false, false, 38400, NOPARITY, 8, ONESTOPBIT, false, false, DTR_CONTROL_DISABLE,
         RTS_CONTROL_DISABLE},
        {"19200,n,8,1", 0, true, true, 19200, NOPARITY, 8, ONESTOPBIT, false, false, DTR_CONTROL_ENABLE,
         RTS_CONTROL_ENABLE},
        {"9600,e,7,2", 1, false, true, 9600, EVENPARITY, 7, TWOSTOPBITS, false, true, DTR_CONTROL_DISABLE,
         RTS_CONTROL_ENABLE},
        // RTS/CTS: the driver owns RTS, whatever RTSEnable says.
        {"115200,o,8,1.5", 2, false, false, 115200, ODDPARITY, 8, ONE5STOPBITS, true, false,
         DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE},
        {"1200,m,5,1", 3, false, false, 1200, MARKPARITY, 5, ONESTOPBIT, true, true, DTR_CONTROL_DISABLE,
         RTS_CONTROL_HANDSHAKE},
    };
    for (const auto &c : cases) {
        DCB dcb{};
        dcb.fNull = TRUE; // left over from another program: zero bytes are data here
        dcb.fAbortOnError = TRUE;
        fillDcb(dcb, *LineSettings::parse(QString::fromLatin1(c.settings)), c.handshaking, c.dtr, c.rts);
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

TEST(WindowsSerialPort, PortNumbersAreComPortsAndAClosedPortSaysSo)
{
    WindowsSerialPort port(PortMap::windowsPorts());
    EXPECT_EQ(port.setCommPort(0), CommError::ValueRefused);
    EXPECT_EQ(port.setCommPort(257), CommError::ValueRefused);
    EXPECT_EQ(port.setCommPort(16), CommError::None);
    EXPECT_EQ(port.deviceName(), QStringLiteral("COM16"));
    // Past COM9 only through \\.\; a number the system does not name is no such port.
    const QList<int> present = PortMap::fromEnvironment().ports();
    int absent = 256;
    while (present.contains(absent))
        --absent;
    EXPECT_EQ(port.setCommPort(absent), CommError::None);
    EXPECT_EQ(port.setPortOpen(true), CommError::NoSuchPort);
    for (const int n : present)
        EXPECT_TRUE(deviceAccess(QStringLiteral("COM%1").arg(n)).exists) << n;
    EXPECT_EQ(port.output("R2"), CommError::PortNotOpen);
    EXPECT_EQ(port.clearInput(), CommError::PortNotOpen);
    EXPECT_EQ(port.setPortOpen(false), CommError::PortNotOpen);
    EXPECT_EQ(port.inBufferCount(), 0);
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
