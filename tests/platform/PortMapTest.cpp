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
        {"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17", {{16, "16"}, {17, ""}}},
    };
    for (const auto &c : cases) {
        const PortMap map = PortMap::fromList(QString::fromLatin1(c.list));
        for (const auto &[port, device] : c.expected)
            EXPECT_EQ(map.device(port), QString::fromLatin1(device)) << c.list << " port " << port;
    }
    const QString sixteen = QStringLiteral("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,");
    EXPECT_EQ(PortMap::fromList(sixteen + QStringLiteral("17,,18, ")).ignoredDevices(), 2);
    EXPECT_EQ(PortMap::fromList(sixteen + QStringLiteral(",")).ignoredDevicesNote(), "");
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
