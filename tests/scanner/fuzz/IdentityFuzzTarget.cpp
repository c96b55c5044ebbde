// Fuzz target of the identity question: whatever bytes arrive on the port,
// whenever they arrive, and whether the port is held by another program or
// lost while asked, only exactly a model's answer at its rate names a model,
// and only no byte or a boot software's clean greeting lets a name given
// decide. The answer is checked against what actually reached the question,
// cut into its rates by the times the question was written.
//
// Input: a header byte (bit 0: another program holds the port; bit 1: the
// line is lost), two bytes of the time it is lost (ms), then events of three
// bytes each: a time in ms after the port opened (11 bits) and a byte.

#include "platform/ManualClock.h"
#include "scanner/IdentityQuery.h"
#include "scanner/ScannerModels.h"
#include "support/FakePort.h"
#include "support/FuzzDriver.h"

#include <QPointer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using romwright::IdentityAnswer;
using Ms = romwright::Clock::ms;
// The input at hand, printed with a failed check so that it can be replayed.
QByteArray g_input;

void check(bool condition, const char *what)
{
    if (!condition)
        std::fprintf(stderr, "input: %s\n", g_input.toHex().constData());
    romwright::test::fuzzCheck(condition, what);
}

struct Arrival {
    Ms at;
    char byte;
};

bool isIdentity(const QByteArray &bytes, int baud)
{
    static const QList<QByteArray> at38400{"HLV 1450OK\r\n", "JL 750OK\r\n", "WX 3650OK\r\n"};
    static const QList<QByteArray> at19200{"HLV 1450OK\r\n", "JL 750OK\r\n", "JL 19.2kOK\r\n"};
    return (baud == 38400 ? at38400 : at19200).contains(bytes);
}

// The greeting letter of bytes heard at baud, 0 for none.
char greeting(const QByteArray &bytes, int baud)
{
    if (bytes.isEmpty() ||
        !std::all_of(bytes.begin(), bytes.end(), [&](char c) { return c == bytes.front(); }))
        return 0;
    const char c = bytes.front();
    return (baud == 19200 && c == 'Z') || (baud == 38400 && (c == 'Q' || c == 'A')) ? c : 0;
}

bool highBytes(const QByteArray &bytes)
{
    return !bytes.isEmpty() && std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0x80) != 0;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    g_input = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool busy = data[0] & 1, loses = data[0] & 2;
    const Ms lostAt{((data[1] << 8) | data[2]) & 0x7FF};
    std::vector<Arrival> arrivals;
    for (std::size_t i = 3; i + 2 < size; i += 3)
        arrivals.push_back({Ms(((data[i] << 8) | data[i + 1]) & 0x7FF), char(data[i + 2])});

    romwright::ManualClock clock;
    romwright::test::FakePort port(&clock);
    romwright::test::FakeDevice device;
    device.openError = busy ? romwright::CommError::PortInUse : romwright::CommError::None;
    port.devices[4] = device;
    port.onOpen = [&](romwright::test::FakePort &opened) {
        const QPointer<romwright::test::FakePort> guarded(&opened);
        for (const Arrival &a : arrivals)
            opened.arriveAt(clock.now() + a.at, QByteArray(1, a.byte));
        if (loses)
            clock.at(clock.now() + lostAt, [guarded] {
                if (guarded && guarded->portOpen())
                    emit guarded->lineLost();
            });
    };
    romwright::ScannerModels models;
    romwright::addStandardModels(models);
    const IdentityAnswer answer = romwright::askIdentity(port, 4, clock, models);
    const Ms end = clock.now();

    // What reached each question: after it was written, up to the next one or the end.
    const std::vector<Ms> &asked = port.writeTimes;
    std::vector<QByteArray> heard(asked.size());
    std::vector<int> bauds;
    for (const QString &line : port.log)
        if (line.startsWith(QLatin1String("write 4 ")))
            bauds.push_back(line.section(QLatin1Char(' '), 2, 2).toInt());
    check(bauds.size() == asked.size(), "a write that is not the question");
    // In the order they arrive: by time, ties in the order they were scheduled.
    std::stable_sort(arrivals.begin(), arrivals.end(),
                     [](const Arrival &a, const Arrival &b) { return a.at < b.at; });
    for (const Arrival &a : arrivals)
        for (std::size_t i = 0; i < asked.size(); ++i)
            if (a.at > asked[i] && (i + 1 == asked.size() ? a.at <= end : a.at <= asked[i + 1]))
                heard[i] += a.byte;
    for (const QByteArray &w : port.writes)
        check(w == "V\r\n", "something other than the identity query was written");

    const bool lost = loses && lostAt <= end;
    if (busy || lost) {
        check(answer.kind == IdentityAnswer::Kind::NoPort,
              "a port held elsewhere or lost was read as an answer");
        return 0;
    }
    check(answer.kind != IdentityAnswer::Kind::NoPort, "a port held throughout was taken as not held");
    const bool nothing =
        std::all_of(heard.begin(), heard.end(), [](const QByteArray &b) { return b.isEmpty(); });
    switch (answer.kind) {
    case IdentityAnswer::Kind::Model: {
        check(isIdentity(heard.back(), bauds.back()), "a model for what is not exactly its answer");
        check(std::all_of(heard.begin(), heard.end() - 1, [](const QByteArray &b) { return b.isEmpty(); }),
              "a model after other bytes at another rate");
        break;
    }
    case IdentityAnswer::Kind::Silent:
        check(nothing, "silence where bytes came");
        break;
    case IdentityAnswer::Kind::BootPrompt: {
        char letter = 0;
        bool z = false;
        for (std::size_t i = 0; i < heard.size(); ++i)
            if (const char g = greeting(heard[i], bauds[i])) {
                check(letter == 0 || letter == g, "two greetings taken for one");
                letter = g;
                z = z || g == 'Z';
            }
        check(letter != 0, "a greeting where none came");
        for (std::size_t i = 0; i < heard.size(); ++i)
            check(heard[i].isEmpty() || greeting(heard[i], bauds[i]) != 0 ||
                      (z && bauds[i] == 38400 && highBytes(heard[i])),
                  "a greeting with other bytes beside it");
        break;
    }
    case IdentityAnswer::Kind::Unknown:
        check(!nothing, "refused for bytes that never came");
        break;
    case IdentityAnswer::Kind::NoPort:
        break;
    }
    return 0;
}
