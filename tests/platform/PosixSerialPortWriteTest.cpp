// A write larger than the terminal takes at once: the part the device takes
// goes straight to it, the rest through Qt's buffer. Every byte must arrive
// once and in order, the first write to the port and the ones after it.
#include "platform/PosixSerialPort.h"
#include "support/SimClient.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <thread>
#include <unistd.h>

using namespace romwright;
using namespace romwright::test;

TEST(PosixSerialPort, AWriteLargerThanTheTerminalTakesArrivesWholeAndInOrder)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    SimClient client(QString::fromLocal8Bit(::ptsname(master)));
    ASSERT_TRUE(client.isOpen());

    QByteArray first(256 * 1024, '\0');
    for (int i = 0; i < first.size(); ++i)
        first[i] = char((i * 131 + i / 251) & 0xFF);
    const QByteArray second = "P40045001122";
    const qsizetype expected = first.size() + second.size();

    // Nobody reads until the first write has filled the terminal.
    QByteArray received;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        char buffer[4096];
        for (int idle = 0; received.size() < expected && idle < 50;) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) {
                ++idle;
                continue;
            }
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            received.append(buffer, n);
        }
    });
    const CommError firstWrite = client.send(first);
    const CommError secondWrite = client.send(second);
    reader.join();
    ::close(master);

    EXPECT_EQ(firstWrite, CommError::None);
    EXPECT_EQ(secondWrite, CommError::None);
    ASSERT_EQ(received.size(), expected);
    EXPECT_TRUE(received == first + second);
}
