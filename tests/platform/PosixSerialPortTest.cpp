// The serial port layer on the simulator's pseudo-terminals; a user without
// access to the device is seen through the front ends (MainWindowHandlersTest,
// ConsoleTest).
#include "platform/PosixSerialPort.h"
#include "platform/FileSystem.h"
#include "platform/PortBehaviour.h"
#include "platform/PortUsable.h"
#include "support/SimClient.h"
#include "support/SimProcess.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <thread>
#include <unistd.h>

using namespace romwright;
using namespace romwright::test;

TEST(PosixSerialPort, TellsAForbiddenDeviceFromOneHeldByAnotherProgram)
{
    const struct {
        QSerialPort::SerialPortError qtError;
        bool exists, userMayOpen;
        CommError expected;
    } cases[] = {
        {QSerialPort::PermissionError, true, true, CommError::PortInUse}, // another program's lock file
        {QSerialPort::OpenError, true, true, CommError::PortInUse},
        {QSerialPort::NoError, true, false, CommError::PermissionDenied},
        {QSerialPort::DeviceNotFoundError, true, true, CommError::NoSuchPort},
        {QSerialPort::ResourceError, true, true, CommError::DeviceNotOpen},
    };
    for (const auto &c : cases)
        EXPECT_EQ(classifyOpenFailure(c.qtError, c.exists, c.userMayOpen), c.expected)
            << int(c.qtError) << ' ' << c.exists << ' ' << c.userMayOpen;
}

namespace {

// The far end of a pseudo-terminal: its master side.
class PtyFarEnd final : public FarEnd {
public:
    PtyFarEnd() : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        EXPECT_TRUE(m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0);
    }
    ~PtyFarEnd() override { vanish(); }
    QString portList() const override
    {
        return QString::fromLocal8Bit(::ptsname(m_master)) + QStringLiteral(",/nonexistent/tty");
    }
    void sendAfter(std::chrono::milliseconds delay, const QByteArray &bytes) override
    {
        m_senders.emplace_back([this, delay, bytes] {
            std::this_thread::sleep_for(delay);
            EXPECT_EQ(::write(m_master, bytes.constData(), std::size_t(bytes.size())), bytes.size());
        });
    }
    QByteArray heard(qsizetype count, std::chrono::milliseconds wait) override
    {
        QByteArray got;
        char buffer[4096];
        pollfd p{m_master, POLLIN, 0};
        while (got.size() < count && ::poll(&p, 1, int(wait.count())) == 1) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }
    void vanish() override
    {
        for (std::thread &sender : m_senders)
            sender.join();
        m_senders.clear();
        if (m_master >= 0)
            ::close(std::exchange(m_master, -1));
    }

private:
    int m_master;
    std::vector<std::thread> m_senders;
};

} // namespace

TEST(PosixSerialPort, OnAPseudoTerminal)
{
    checkPortBehaviour([] { return std::make_unique<PtyFarEnd>(); },
                       [](const PortMap &map) { return std::make_unique<PosixSerialPort>(map); });
}

// What --check says of a port that cannot carry an update; only a terminal can.
TEST(PosixSerialPort, SaysWhyAPortCannotBeUsed)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("folder"));
    const QString plain = dir.filePath(QStringLiteral("plain"));
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(writeWholeFile(plain, "S0030000FC\n"));
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QStringList devices{
        "", "/nonexistent/tty", "/dev/null", plain, folder, QString::fromLocal8Bit(::ptsname(master))};
    const QString expected[] = {
        "port 1 has no device",
        "port 2 (/nonexistent/tty): the device does not exist",
        "port 3 (/dev/null) is not a serial port: it is not a terminal",
        "port 4 (" + plain + ") is not a serial port: it is a plain file",
        "port 5 (" + folder + ") is not a serial port: it is a folder",
        "",
    };
    PosixSerialPort port(PortMap::fromList(devices.join(QLatin1Char(','))));
    for (int n = 1; n <= int(devices.size()); ++n) {
        EXPECT_EQ(portUnusableReason(port, n), expected[n - 1]);
        EXPECT_FALSE(port.portOpen()) << n; // opened to learn it, and closed again
    }
    EXPECT_EQ(LocalFileSystem().read(plain).bytes, QByteArray("S0030000FC\n"));
    ::close(master);
}

TEST(PosixSerialPort, ASecondOpenOfTheSameDeviceIsPortInUse)
{
    SimProcess sim;
    auto first = std::make_unique<SimClient>(sim.link());
    ASSERT_TRUE(first->isOpen());
    // Through the link, and through the terminal's own name, which the lock file does not cover.
    EXPECT_EQ(SimClient(sim.link()).openError(), CommError::PortInUse);
    EXPECT_EQ(SimClient(sim.terminal()).openError(), CommError::PortInUse);
    first.reset();
    EXPECT_EQ(SimClient(sim.link()).openError(), CommError::None);
}
