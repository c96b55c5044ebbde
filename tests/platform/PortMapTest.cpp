#include "platform/PortMap.h"

#include <gtest/gtest.h>

using namespace romwright;

TEST(PortMap, NamesPortsFromTheListInOrder)
{
    const struct {
        const char *list;
        std::vector<std::pair<int, const char *>> expected; // port -> device
    } cases[] = {
        {"/tmp/a,,/tmp/c", {{1, "/tmp/a"}, {2, ""}, {3, "/tmp/c"}, {4, ""}}},
        {",/tmp/b", {{1, ""}, {2, "/tmp/b"}}},
        {" /tmp/a , /tmp/b ", {{1, "/tmp/a"}, {2, "/tmp/b"}}},
        {"", {{1, ""}, {16, ""}}},
    };
    for (const auto &c : cases) {
        const PortMap map = PortMap::fromList(QString::fromLatin1(c.list));
        for (const auto &[port, device] : c.expected)
            EXPECT_EQ(map.device(port), QString::fromLatin1(device)) << c.list << " port " << port;
    }
    QStringList many;
    for (int n = 1; n <= 256; ++n)
        many << QString::number(n);
    const PortMap full = PortMap::fromList(many.join(',') + QStringLiteral(",257,,258, "));
    EXPECT_EQ(full.device(256), QStringLiteral("256"));
    EXPECT_EQ(full.device(257), QString());
    EXPECT_EQ(full.ignoredDevices(), 2);
    EXPECT_EQ(PortMap::fromList(many.join(',') + QStringLiteral(",")).ignoredDevicesNote(), "");
    // A device named for the run takes the number after the last mapped one.
    PortMap gaps = PortMap::fromList(QStringLiteral("/tmp/a,,/tmp/c"));
    EXPECT_EQ(gaps.add(QStringLiteral("/dev/pts/7")), 4);
    EXPECT_EQ(gaps.ports(), (QList<int>{1, 3, 4}));
    EXPECT_EQ(full.ports().size(), 256);
    EXPECT_EQ(PortMap(full).add(QStringLiteral("/dev/pts/7")), 0);
    for (const char *path : {"/dev/null", "/nonexistent", "/tmp", ""})
        EXPECT_FALSE(isTerminalDevice(QString::fromLatin1(path))) << path;
}

// Windows numbers its COM ports up to 256; each is named COMn or \\.\COMn.
TEST(PortMap, TakesEveryComNameWindowsGives)
{
    const PortMap map = PortMap::windowsPorts({3, 17, 256});
    const struct {
        const char *name;
        int port;
    } cases[] = {{"COM17", 17}, {"com256", 256}, {"COM257", 0}, {"\\\\.\\COM12", 12}, {"\\\\.\\com3", 3},
                 {"COM0", 0},   {"COM", 0},      {"LPT1", 0},   {"COM1x", 0},         {"/dev/ttyS0", 0}};
    for (const auto &c : cases)
        EXPECT_EQ(map.portOf(QString::fromLatin1(c.name)), c.port) << c.name;
    EXPECT_EQ(map.device(200), QStringLiteral("COM200")); // the system decides whether it opens
    EXPECT_EQ(map.device(257), QString());
    EXPECT_EQ(map.ports(), (QList<int>{3, 17, 256}));
}

TEST(PortMap, PutsUsbAdaptersFirstThenTheRestEachByName)
{
    const QStringList found = {"/dev/ttyS10", "/dev/ttyUSB1", "/dev/ttyS0",    "/dev/ttyACM0",
                               "/dev/ttyS2",  "/dev/ttyUSB0", "/dev/ttyUSB10", "/dev/ttyAMA0"};
    const QStringList expected = {"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB10",
                                  "/dev/ttyAMA0", "/dev/ttyS0",   "/dev/ttyS2",   "/dev/ttyS10"};
    EXPECT_EQ(PortMap::orderSystemPorts(found), expected);
    // The order does not depend on how the system lists them.
    EXPECT_EQ(PortMap::orderSystemPorts(QStringList(found.rbegin(), found.rend())), expected);
    const PortMap map = PortMap::fromSystemPorts(found);
    EXPECT_EQ(map.device(8), QStringLiteral("/dev/ttyS10"));
    EXPECT_EQ(map.device(9), QString());
}
