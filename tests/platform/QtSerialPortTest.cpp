#include "platform/QtSerialPort.h"
#include "support/AsNobody.h"
#include "support/SimClient.h"
#include "support/SimProcess.h"

#include <gtest/gtest.h>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

TEST(QtSerialPort, TellsAForbiddenDeviceFromOneHeldByAnotherProgram)
{
    struct Case {
        QSerialPort::SerialPortError qtError;
        bool exists;
        bool userMayOpen;
        CommError expected;
    };
    const Case cases[] = {
        {QSerialPort::PermissionError, true, true, CommError::PortInUse},
        {QSerialPort::PermissionError, true, false, CommError::PermissionDenied},
        {QSerialPort::NoError, true, false, CommError::PermissionDenied},
        {QSerialPort::OpenError, true, true, CommError::PortInUse},
        {QSerialPort::DeviceNotFoundError, true, true, CommError::NoSuchPort},
        {QSerialPort::NoError, false, true, CommError::NoSuchPort},
        {QSerialPort::UnknownError, true, true, CommError::DeviceNotOpen},
        {QSerialPort::ResourceError, true, true, CommError::DeviceNotOpen},
    };
    for (const Case &c : cases)
        EXPECT_EQ(classifyOpenFailure(c.qtError, c.exists, c.userMayOpen), c.expected)
            << int(c.qtError) << ' ' << c.exists << ' ' << c.userMayOpen;
}

// The same for real: the test runs itself again as a user outside the
// terminal's group and opens the simulator's terminal from there.
TEST(QtSerialPort, AUserWithoutAccessToTheDeviceIsToldSo)
{
    const QByteArray probe = qgetenv("ROMWRIGHT_PROBE_DEVICE");
    if (!probe.isEmpty()) {
        QtSerialPort port(PortMap::fromList(QString::fromLocal8Bit(probe)));
        EXPECT_EQ(openLikeTheProgram(port, 1, QStringLiteral("38400,n,8,1")), CommError::PermissionDenied);
        EXPECT_FALSE(port.portOpen());
        return;
    }
    const QString setpriv = setprivProgram();
    if (setpriv.isEmpty())
        GTEST_SKIP() << "needs root and setpriv to run as another user";
    SimProcess sim;
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    EXPECT_EQ(rerunAsNobody(setpriv, QStringLiteral("QtSerialPort.AUserWithoutAccessToTheDeviceIsToldSo"),
                            "ROMWRIGHT_PROBE_DEVICE", sim.terminal()),
              QString());
}

TEST(QtSerialPort, RefusedValuesClosedPortAndMissingDevice)
{
    QtSerialPort port(PortMap::fromList(QStringLiteral(",/nonexistent/tty")));
    EXPECT_EQ(port.setCommPort(0), CommError::ValueRefused);
    EXPECT_EQ(port.setCommPort(17), CommError::ValueRefused);
    EXPECT_EQ(port.setSettings(QStringLiteral("38400,q,8,1")), CommError::ValueRefused);
    EXPECT_EQ(port.settings(), QStringLiteral("9600,n,8,1")); // a refused value changes nothing
    EXPECT_EQ(port.setHandshaking(4), CommError::ValueRefused);
    EXPECT_EQ(port.setInputLen(-1), CommError::ValueRefused);
    EXPECT_EQ(port.setInBufferSize(0), CommError::ValueRefused);

    // A closed port says so; a number without a device is no such port.
    EXPECT_EQ(port.output("R2"), CommError::PortNotOpen);
    EXPECT_EQ(port.clearInput(), CommError::PortNotOpen);
    EXPECT_EQ(port.setPortOpen(false), CommError::PortNotOpen);
    EXPECT_TRUE(port.input().isEmpty());
    for (int n : {1, 2}) {
        EXPECT_EQ(port.setCommPort(n), CommError::None);
        EXPECT_EQ(port.setPortOpen(true), CommError::NoSuchPort) << n;
        EXPECT_FALSE(port.portOpen());
    }
}

TEST(QtSerialPort, ASecondOpenOfTheSameDeviceIsPortInUse)
{
    SimProcess sim;
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    auto first = std::make_unique<SimClient>(sim.link());
    ASSERT_TRUE(first->isOpen());
    SimClient second(sim.link());
    EXPECT_EQ(second.openError(), CommError::PortInUse);
    // Through the terminal's own name, which the lock file does not cover.
    SimClient third(sim.terminal());
    EXPECT_EQ(third.openError(), CommError::PortInUse);
    first.reset();
    SimClient fourth(sim.link());
    EXPECT_EQ(fourth.openError(), CommError::None);
}

TEST(QtSerialPort, SendsAndReceivesExactlyTheBytes)
{
    SimProcess sim;
    ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
    SimClient client(sim.link());
    ASSERT_TRUE(client.isOpen());
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    all.append('\0'); // zero bytes are data, not discarded
    ASSERT_EQ(client.send(all), CommError::None);
    client.receiveFor(100ms); // what the scanner made of them ("V" "W" is its version command)
    EXPECT_EQ(client.ask("V\r\n", 12), QByteArray("HLV 1450OK\r\n"));
    sim.stop();
    const QStringList in = sim.transcript().split(QLatin1Char('\n')).filter(QStringLiteral(" in "));
    ASSERT_EQ(in.size(), 257 + 3);
    for (int b = 0; b < 256; ++b)
        EXPECT_TRUE(
            in[b].contains(QStringLiteral("0x") + QString::number(b, 16).rightJustified(2, '0').toUpper()))
            << in[b].toStdString();
}
