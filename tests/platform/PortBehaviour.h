#pragma once
// One table of what a serial port does on a line, run against each system's
// port through the same rows: POSIX over a pseudo-terminal, Win32 under Wine.

#include "platform/LineClock.h"
#include "platform/SerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace romwright::test {

// The other end of the line a port is tested on, and what it can do to it.
class FarEnd {
public:
    virtual ~FarEnd() = default;
    // A port map's list naming the line as port 1 and a missing device as port 2.
    virtual QString portList() const = 0;
    // Sends bytes from another thread after delay.
    virtual void sendAfter(std::chrono::milliseconds delay, const QByteArray &bytes) = 0;
    // What the port has sent: count bytes, or what came before wait passed.
    virtual QByteArray heard(qsizetype count, std::chrono::milliseconds wait) = 0;
    // The device goes away, as an unplugged adapter does.
    virtual void vanish() = 0;
};

using MakeFarEnd = std::function<std::unique_ptr<FarEnd>()>;
using MakePort = std::function<std::unique_ptr<SerialPort>(const PortMap &)>;

inline void checkPortBehaviour(const MakeFarEnd &makeFarEnd, const MakePort &makePort)
{
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    // Generous: only a port that never wakes fails it, also on a loaded machine.
    constexpr auto kLong = 5s;
    const auto opened = [](SerialPort &port, int n = 1) {
        PortSettings settings;
        settings.port = n;
        settings.line = *LineSettings::parse(QStringLiteral("38400,n,8,1"));
        return port.open(settings);
    };
    const struct Row {
        const char *what;
        std::function<void(FarEnd &, SerialPort &)> check;
    } rows[] = {
        {"a missing port does not open, and a closed port says so",
         [&](FarEnd &, SerialPort &port) {
             EXPECT_EQ(port.close(), CommError::None);
             EXPECT_EQ(opened(port, 2), CommError::NoSuchPort);
             EXPECT_FALSE(port.isOpen());
             EXPECT_EQ(port.write("R2"), CommError::PortNotOpen);
             EXPECT_EQ(port.discard(Discard::Input), CommError::PortNotOpen);
             EXPECT_EQ(port.setLines(true, true), CommError::PortNotOpen);
             EXPECT_EQ(port.close(), CommError::PortNotOpen);
             EXPECT_TRUE(port.read(20ms).isEmpty());
             EXPECT_EQ(port.bytesWaiting(), 0);
         }},
        {"a deadline passes on a quiet line",
         [&](FarEnd &, SerialPort &port) {
             const auto start = Clock::now();
             EXPECT_TRUE(port.read(150ms).isEmpty());
             EXPECT_GE(Clock::now() - start, 140ms);
         }},
        {"a byte within the deadline ends the read",
         [&](FarEnd &far, SerialPort &port) {
             far.sendAfter(50ms, "Q");
             const auto start = Clock::now();
             EXPECT_EQ(port.read(kLong), QByteArray("Q"));
             EXPECT_LT(Clock::now() - start, kLong - 1s);
         }},
        {"bytes in pieces come read by read, in order",
         [&](FarEnd &far, SerialPort &port) {
             far.sendAfter(0ms, "V1");
             far.sendAfter(300ms, "450\r\n");
             QByteArray got = port.read(kLong);
             EXPECT_TRUE(QByteArray("V1450\r\n").startsWith(got) && !got.isEmpty()) << got.constData();
             for (int reads = 1; got.size() < 7 && reads < 10; ++reads)
                 got += port.read(kLong);
             EXPECT_EQ(got, QByteArray("V1450\r\n"));
         }},
        {"written bytes reach the far end; the lines set do not refuse",
         [&](FarEnd &far, SerialPort &port) {
             EXPECT_EQ(port.write(QByteArray("R2\0\xff", 4)), CommError::None);
             EXPECT_EQ(far.heard(4, kLong), QByteArray("R2\0\xff", 4));
             EXPECT_EQ(port.setLines(true, false), CommError::None);
             EXPECT_TRUE(port.portSettings().dtr && !port.portSettings().rts);
             EXPECT_EQ(port.discard(Discard::Output), CommError::None);
         }},
        {"a write larger than the terminal takes arrives whole and in order",
         [&](FarEnd &far, SerialPort &port) {
             QByteArray big(64 * 1024, '\0');
             for (int i = 0; i < big.size(); ++i)
                 big[i] = char((i * 131 + i / 251) & 0xFF);
             QByteArray got;
             // Nobody reads until the first write has filled the terminal.
             std::thread reader([&] {
                 std::this_thread::sleep_for(50ms);
                 got = far.heard(big.size() + 2, kLong);
             });
             EXPECT_EQ(port.write(big), CommError::None);
             EXPECT_EQ(port.write("p4"), CommError::None);
             reader.join();
             EXPECT_TRUE(got == big + "p4");
         }},
        {"discarded input is gone; what comes after is read",
         [&](FarEnd &far, SerialPort &port) {
             far.sendAfter(0ms, "stale");
             for (const auto until = Clock::now() + kLong; port.bytesWaiting() < 5 && Clock::now() < until;)
                 std::this_thread::sleep_for(10ms);
             EXPECT_EQ(port.discard(Discard::Input), CommError::None);
             EXPECT_EQ(port.bytesWaiting(), 0);
             far.sendAfter(0ms, "p");
             EXPECT_EQ(port.read(kLong), QByteArray("p"));
         }},
        {"closed and opened again; a new rate in place, no new number",
         [&](FarEnd &far, SerialPort &port) {
             EXPECT_EQ(port.close(), CommError::None);
             EXPECT_FALSE(port.isOpen());
             EXPECT_EQ(opened(port), CommError::None);
             PortSettings slower = port.portSettings();
             slower.line.baud = 19200;
             EXPECT_EQ(port.open(slower), CommError::None);
             EXPECT_EQ(port.settings(), QStringLiteral("19200,n,8,1"));
             EXPECT_EQ(opened(port, 2), CommError::PortInUse);
             EXPECT_EQ(port.write("z"), CommError::None);
             EXPECT_EQ(far.heard(1, kLong), QByteArray("z"));
         }},
        {"a device that vanishes ends the read and closes the port",
         [&](FarEnd &far, SerialPort &port) {
             bool lost = false;
             QObject::connect(&port, &SerialPort::lineLost, [&] { lost = true; });
             far.vanish();
             for (const auto until = Clock::now() + kLong; port.isOpen() && Clock::now() < until;)
                 EXPECT_TRUE(port.read(kLong).isEmpty());
             EXPECT_FALSE(port.isOpen());
             EXPECT_TRUE(lost);
             EXPECT_NE(port.write("R2"), CommError::None);
         }},
    };
    // A port opened where an event loop serves it, then one opened on the
    // line's own thread, which its reads serve.
    for (const bool lineThread : {false, true}) {
        std::optional<LineClock> clock;
        if (lineThread)
            clock.emplace();
        for (const Row &row : rows) {
            SCOPED_TRACE(std::string(row.what) + (lineThread ? " (line thread)" : ""));
            const std::unique_ptr<FarEnd> far = makeFarEnd();
            const std::unique_ptr<SerialPort> port = makePort(PortMap::fromList(far->portList()));
            ASSERT_EQ(opened(*port), CommError::None);
            row.check(*far, *port);
        }
    }
}

} // namespace romwright::test
