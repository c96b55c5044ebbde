// The end-to-end runs judge an update by the simulator's flash dump and by
// "no record rejected" in its transcript. Both mean something only if each
// loader of the simulator refuses what a faulty program would send and
// programs exactly what it takes; those runs only ever send good records.
#include "support/SimClient.h"
#include "support/SimProcess.h"

#include <gtest/gtest.h>

#include <functional>

using namespace romwright;
using namespace romwright::test;
using namespace std::chrono_literals;

namespace {

QByteArray pattern(int size, int seed)
{
    QByteArray b;
    for (int i = 0; i < size; ++i)
        b.append(char((i * 7 + seed) & 0x7F)); // never 0xFF, so programmed bytes show
    return b;
}

QByteArray hexRecord(int address, const QByteArray &data)
{
    return "P" + QByteArray::number(data.size(), 16).toUpper().rightJustified(2, '0') +
           QByteArray::number(address, 16).toUpper().rightJustified(4, '0') + data.toHex().toUpper();
}

QByteArray binaryRecord(int address, const QByteArray &data, int count = -1, char padding = 0)
{
    QByteArray r;
    r.append('D');
    r.append(char(count < 0 ? data.size() + 3 : count));
    r.append(char(address >> 8));
    r.append(char(address & 0xFF));
    return r + data + QByteArray(64 - data.size(), padding);
}

struct Record {
    QByteArray text;
    int address = -1; // where its data lands; -1: refused
    QByteArray data;
};

Record taken(int address, const QByteArray &data, bool binary = false)
{
    return {binary ? binaryRecord(address, data) : hexRecord(address, data), address, data};
}

Record refused(const QByteArray &text)
{
    return {text, -1, {}};
}

void bootloaderReady(SimClient &c)
{
    EXPECT_EQ(c.ask("z", 1), QByteArray("C"));
    EXPECT_EQ(c.ask("E", 1), QByteArray("e"));
}

// The old boot software: the request at 38400, "Z" heard at 19200, "G", the
// RAM loader, and the erase.
void ramLoaderReady(SimClient &c)
{
    ASSERT_EQ(c.ask("M3", 4), QByteArray("OK\r\n"));
    ASSERT_EQ(c.send("R2"), CommError::None);
    ASSERT_EQ(c.setRate(19200), CommError::None);
    // The first "Z" may meet the port still at 38400; the next is clean.
    QByteArray z = c.receive(1, 1500ms);
    if (!z.endsWith('Z'))
        z += c.receive(1, 1500ms);
    ASSERT_TRUE(z.endsWith('Z')) << z.toHex().toStdString();
    EXPECT_EQ(c.ask("G", 1), QByteArray("R"));
    EXPECT_EQ(c.ask(pattern(1024, 9), 1), QByteArray("R"));
    EXPECT_EQ(c.ask("E", 1), QByteArray("R"));
}

} // namespace

TEST(Simulator, EachLoaderProgramsOnlyTheRecordsOfItsMap)
{
    struct Case {
        const char *loader;
        QStringList args;
        std::function<void(SimClient &)> reach;
        char ack;
        std::vector<Record> records;
    };
    // clang-format off
    const Case cases[] = {
        {"64-byte bootloader", {"--start-in-boot", "--boot", "Q"}, bootloaderReady, 'p', {
            taken(0x0450, pattern(64, 1)), taken(0x04D0, pattern(48, 2)), taken(0xF8C0, pattern(64, 3)),
            refused(hexRecord(0x0451, pattern(64, 4))),      // not a block's start
            refused(hexRecord(0x04D0, pattern(64, 4))),      // wrong length for its block
            refused(hexRecord(0xF900, pattern(64, 4))),      // above the map
            refused(hexRecord(0x0600, pattern(64, 4))),      // in a hole of the map
            refused(hexRecord(0x0490, pattern(64, 4)).toLower().replace('p', 'P')),     // lower-case digits
            refused("P000490"),                          // length zero
            taken(0x0490, pattern(64, 5)),            // taken again after the broken ones
        }},
        {"128-byte bootloader", {"--start-in-boot", "--boot", "A"}, bootloaderReady, 'p', {
            taken(0x1880, pattern(128, 6)), taken(0x182C, pattern(84, 7)),
            refused(hexRecord(0x0450, pattern(64, 8))),      // a 64-byte row
            refused(hexRecord(0xFC00, pattern(128, 8))),     // above the map
            taken(0x1200, pattern(128, 9)),
        }},
        {"RAM loader", {"--boot", "Z"}, ramLoaderReady, 'R', {
            taken(0xFF80, "\x12\x34", true), taken(0xFFCC, pattern(52, 10), true),
            refused(binaryRecord(0x0450, pattern(48, 11), 50)),     // count byte
            refused(binaryRecord(0x0480, pattern(48, 11), -1, 1)),  // data behind the block
            refused(binaryRecord(0x0600, pattern(64, 11))),         // outside the map
            taken(0xFDC0, pattern(64, 12), true),
        }},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.loader);
        SimProcess sim(c.args);
        ASSERT_TRUE(sim.isReady()) << sim.errorText().toStdString();
        SimClient client(sim.link());
        c.reach(client);
        QByteArray expected(65536, char(0xFF));
        int refusals = 0, acks = 0;
        for (const Record &r : c.records) {
            if (r.address < 0) {
                ++refusals;
                ASSERT_EQ(client.send(r.text), CommError::None);
                continue;
            }
            // Records are self-delimiting: this answer comes after the refused ones were read.
            // Each case ends with a taken record for that reason.
            EXPECT_EQ(client.ask(r.text, 1), QByteArray(1, c.ack)) << r.address;
            expected.replace(r.address, r.data.size(), r.data);
            ++acks;
        }
        sim.stop();
        EXPECT_TRUE(sim.dump() == expected) << "the flash differs";
        const QString log = sim.transcript();
        EXPECT_EQ(log.count(QLatin1String("rejected")), refusals) << qPrintable(log.right(3000));
        const int handshakeAcks = c.ack == 'R' ? 3 : 0; // "G", the RAM loader and "E"
        EXPECT_EQ(log.count(QString::asprintf("out 0x%02X '%c'", c.ack, c.ack)), acks + handshakeAcks);
    }
}
