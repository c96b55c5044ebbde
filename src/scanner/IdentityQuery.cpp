#include "scanner/IdentityQuery.h"

#include "family/BootLetters.h"
#include "platform/PortMap.h"
#include "platform/SerialPort.h"
#include "scanner/CommandTable.h"
#include "scanner/ScannerModels.h"

#include <QScopeGuard>
#include <QStringList>

#include <algorithm>
#include <memory>

namespace romwright {

namespace {

constexpr int kIdentityCommand = 4; // the command table's "V"

} // namespace

const ScannerFamily *compatibilityFamily(const ScannerModel &model, const QByteArray &answer)
{
    for (const ScannerFamily &f : kScannerFamilies) {
        if (f.compatibilityBaud == 0 || model.Baud != QString::number(f.compatibilityBaud))
            continue;
        if (answer == latin1(f.compatibilityAnswer).toLatin1() + "\r\n" ||
            answer == latin1(f.identity).toLatin1() + "\r\n")
            return &f;
    }
    return nullptr;
}

std::chrono::milliseconds identityAnswerBound()
{
    return kCommandTable[kIdentityCommand].named[0].wait;
}

QString shownAnswer(const QByteArray &bytes)
{
    QString out;
    for (const char c : bytes) {
        if (c == '\r')
            out += QStringLiteral("\\r");
        else if (c == '\n')
            out += QStringLiteral("\\n");
        else if (c == '"' || c == '\\')
            out += QStringLiteral("\\") + QLatin1Char(c);
        else if (c >= 0x20 && c < 0x7F)
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'));
    }
    return out;
}

char cleanGreeting(const QByteArray &bytes, int baud)
{
    if (bytes.isEmpty())
        return 0;
    const char first = bytes.front();
    const bool atItsRate = baud == kOldBootBaud
                               ? first == letter::kGreetingOld
                               : first == letter::kGreeting64 || first == letter::kGreeting128;
    const bool alone = std::all_of(bytes.begin(), bytes.end(), [first](char c) { return c == first; });
    return atItsRate && alone ? first : 0;
}

bool soundsLikeOldBootAt(const QByteArray &bytes, int baud)
{
    return baud != kOldBootBaud && !bytes.isEmpty() && std::all_of(bytes.begin(), bytes.end(), [](char c) {
               return (static_cast<unsigned char>(c) & 0x80) != 0;
           });
}

namespace {

enum class Heard {
    Nothing,
    Identity,  // exactly a model's answer at this rate
    Greeting,  // one boot software's greeting letter, repeated or not, at the rate it greets at
    HighBytes, // only bytes with the top bit set: what a "Z" at 19200 sounds like at 38400
    Other,
};

struct Reading {
    Heard heard = Heard::Nothing;
    IdentityAnswer identity; // Identity: the model
    char greeting = 0;       // Greeting: its letter
};

Reading readOne(const RateReading &rate, const ScannerModels &models)
{
    Reading r;
    const QByteArray &bytes = rate.bytes;
    if (bytes.isEmpty())
        return r;
    const QString baud = QString::number(rate.baud);
    for (const auto &model : models) {
        if (model->Baud != baud)
            continue;
        const ScannerFamily *compatible = compatibilityFamily(*model, bytes);
        if (bytes != model->VersionData.toLatin1() + "\r\n" && !compatible)
            continue;
        r.heard = Heard::Identity;
        r.identity.kind = IdentityAnswer::Kind::Model;
        r.identity.model = compatible ? latin1(compatible->shown) : model->ScannerName;
        r.identity.typeOfScanner = compatible ? compatible->type : model->TypeOfScanner;
        return r;
    }
    r.greeting = cleanGreeting(bytes, rate.baud);
    r.heard = r.greeting                              ? Heard::Greeting
              : soundsLikeOldBootAt(bytes, rate.baud) ? Heard::HighBytes
                                                      : Heard::Other;
    return r;
}

IdentityAnswer unknownAnswer(const QByteArray &bytes)
{
    IdentityAnswer answer;
    answer.kind = IdentityAnswer::Kind::Unknown;
    answer.raw = bytes;
    return answer;
}

} // namespace

bool isIdentityAt(const QByteArray &bytes, int baud, const ScannerModels &models)
{
    RateReading reading;
    reading.baud = baud;
    reading.bytes = bytes;
    return readOne(reading, models).heard == Heard::Identity;
}

IdentityAnswer classifyIdentity(const std::vector<RateReading> &readings, const ScannerModels &models)
{
    QByteArray all; // everything heard, for a person
    for (const RateReading &rate : readings) {
        if (!rate.held) {
            IdentityAnswer none;
            none.kind = IdentityAnswer::Kind::NoPort;
            none.portError = rate.error;
            none.portOpened = readings.size() > 1 || rate.opened;
            none.portBusy = rate.busy;
            return none;
        }
        all += rate.bytes;
    }
    std::vector<Reading> heard;
    for (const RateReading &rate : readings)
        heard.push_back(readOne(rate, models));

    // A scanner answers at its own rate and says nothing at another: an
    // identity counts only after silence, and only as the last thing heard.
    for (std::size_t i = 0; i < heard.size(); ++i) {
        if (heard[i].heard != Heard::Identity)
            continue;
        const bool alone =
            i + 1 == heard.size() && std::all_of(heard.begin(), heard.begin() + qsizetype(i),
                                                 [](const Reading &r) { return r.heard == Heard::Nothing; });
        return alone ? heard[i].identity : unknownAnswer(all);
    }
    char greeting = 0;
    bool oldBootGreets = false;
    for (const Reading &r : heard) {
        if (r.heard == Heard::Other)
            return unknownAnswer(all);
        if (r.heard == Heard::Greeting) {
            if (greeting != 0 && greeting != r.greeting)
                return unknownAnswer(all); // two boot softwares at once is no clean greeting
            greeting = r.greeting;
            oldBootGreets = r.greeting == letter::kGreetingOld;
        }
    }
    for (const Reading &r : heard)
        if (r.heard == Heard::HighBytes && !oldBootGreets)
            return unknownAnswer(all);
    IdentityAnswer answer;
    if (greeting != 0) {
        answer.kind = IdentityAnswer::Kind::BootPrompt;
        for (const RateReading &rate : readings)
            if (!rate.bytes.isEmpty() && rate.bytes.front() == greeting)
                answer.raw = rate.bytes;
    }
    return answer;
}

namespace {

// Port n opened at settings for the question, and what waited on the line
// before the port was ours, or comes before the question, let go: it is no
// answer to it.
CommError openForQuestion(SerialPort &port, int n, const QString &settings, Clock &clock, const bool &lost)
{
    CommError error = port.setCommPort(n);
    if (error == CommError::None)
        error = port.setSettings(settings);
    if (error == CommError::None)
        error = port.setPortOpen(true);
    if (error == CommError::None && !port.portOpen())
        error = CommError::DeviceNotOpen;
    if (error != CommError::None)
        return error;
    const Clock::ms settled = clock.now() + kIdentitySettle;
    while (!lost && !clock.waitsEnded() && clock.now() < settled)
        clock.sleep(settled);
    return port.clearInput();
}

} // namespace

IdentityAnswer askIdentity(const SerialPort &like, int n, Clock &clock, const ScannerModels &models,
                           std::chrono::milliseconds bound)
{
    if (n < PortMap::kFirstPort || n > PortMap::kLastPort) {
        IdentityAnswer none; // a port number without a port: nothing to ask
        none.kind = IdentityAnswer::Kind::NoPort;
        none.portError = describe(CommError::NoSuchPort);
        return none;
    }
    const std::unique_ptr<SerialPort> port = like.sibling();
    bool lost = false;
    QObject::connect(port.get(), &SerialPort::received, port.get(), [&clock] { clock.wake(); });
    QObject::connect(port.get(), &SerialPort::lineLost, port.get(), [&clock, &lost] {
        lost = true;
        clock.wake();
    });
    const auto close = qScopeGuard([&port] {
        if (port->portOpen())
            port->setPortOpen(false);
    });

    std::vector<RateReading> readings;
    QStringList asked;
    for (const auto &model : models) {
        if (asked.contains(model->Baud))
            continue;
        asked << model->Baud;
        RateReading reading;
        reading.baud = model->Baud.toInt();
        CommError error = CommError::None;
        if (!port->portOpen()) {
            error = openForQuestion(*port, n, model->CommandSettings(), clock, lost);
        } else {
            // What came up to the change belongs to the rate before it.
            if (!readings.empty())
                readings.back().bytes += port->input();
            error = port->setSettings(model->CommandSettings());
        }
        // Nothing is asked of a line lost or a program told to end.
        const bool troubled = lost || clock.waitsEnded();
        if (error == CommError::None && !troubled)
            error = port->output(model->VersionCommand.toLatin1() + "\r\n");
        if (error == CommError::None && !troubled) {
            const Clock::ms deadline = clock.now() + bound + kIdentityGrace;
            for (;;) {
                reading.bytes += port->input();
                if (lost || clock.waitsEnded() || clock.now() >= deadline)
                    break;
                clock.sleep(deadline);
            }
            reading.bytes += port->input();
        }
        if (error != CommError::None || lost || clock.waitsEnded()) {
            reading.held = false;
            reading.opened = port->portOpen() || lost;
            reading.busy = error == CommError::PortInUse;
            reading.error = error != CommError::None ? describe(error)
                            : lost ? QStringLiteral("the line was lost while the scanner was asked")
                                   : QStringLiteral("the question was interrupted");
        }
        readings.push_back(reading);
        // A model's answer ends the question, and so does anything that
        // refuses it whatever the other rates bring.
        const Heard heard = readOne(reading, models).heard;
        if (!reading.held || heard == Heard::Identity || heard == Heard::Other)
            break;
    }
    return classifyIdentity(readings, models);
}

} // namespace romwright
