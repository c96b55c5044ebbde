#include "scanner/IdentityQuery.h"

#include "family/BootLetters.h"
#include "platform/SerialPort.h"
#include "scanner/CommandTable.h"
#include "scanner/ScannerModels.h"

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

IdentityAnswer askIdentity(const SerialPort &like, int n, Clock &clock, const ScannerModels &models,
                           std::chrono::milliseconds bound)
{
    const std::unique_ptr<SerialPort> port = like.sibling();
    QObject::connect(port.get(), &SerialPort::received, port.get(), [&clock] { clock.wake(); });
    QObject::connect(port.get(), &SerialPort::lineLost, port.get(), [&clock] { clock.wake(); });

    IdentityAnswer unknown; // the first answer that named no model, kept while other rates are tried
    IdentityAnswer prompt;
    QStringList asked;
    for (const auto &model : models) {
        if (asked.contains(model->Baud))
            continue;
        asked << model->Baud;
        CommError error = port->setCommPort(n);
        if (error == CommError::None)
            error = port->setSettings(model->CommandSettings());
        if (error == CommError::None)
            error = port->setInputLen(0);
        if (error == CommError::None)
            error = port->setPortOpen(true);
        if (error != CommError::None || !port->portOpen()) {
            IdentityAnswer none;
            none.kind = IdentityAnswer::Kind::NoPort;
            none.portError = describe(error == CommError::None ? CommError::DeviceNotOpen : error);
            return none;
        }
        // What waited on the line before the question (a late acknowledgement
        // of a program that ended meanwhile) is no answer to it.
        port->clearInput();
        port->output(model->VersionCommand.toLatin1() + "\r\n");
        const Clock::ms deadline = clock.now() + bound;
        QByteArray answer;
        for (;;) {
            answer += port->input();
            if (answer.contains("\r\n") || clock.now() >= deadline || clock.waitsEnded())
                break;
            clock.sleep(deadline);
        }
        port->setPortOpen(false);

        const qsizetype end = answer.indexOf("\r\n");
        const QByteArray line = end >= 0 ? answer.left(end) : answer;
        for (const auto &any : models) {
            if (any->Baud == model->Baud && end >= 0 && line == any->VersionData.toLatin1()) {
                IdentityAnswer found;
                found.kind = IdentityAnswer::Kind::Model;
                found.model = any->ScannerName;
                found.typeOfScanner = any->TypeOfScanner;
                return found;
            }
        }
        if (const ScannerFamily *f = end >= 0 ? compatibilityFamily(*model, answer.left(end + 2)) : nullptr) {
            IdentityAnswer found;
            found.kind = IdentityAnswer::Kind::Model;
            found.model = latin1(f->shown);
            found.typeOfScanner = f->type;
            return found;
        }
        if (answer.isEmpty())
            continue;
        // A boot software answers a line with its prompt letter alone; a late
        // acknowledgement of an update cut short may come before it. Neither
        // names a model, nor contradicts one.
        const bool fromBoot = std::all_of(answer.begin(), answer.end(), letter::isFromBootSoftware);
        // Bytes sent at another rate than the one listened at arrive as
        // noise: no text, no line end. The rate they were meant for tells.
        const bool noise =
            end < 0 && std::any_of(answer.begin(), answer.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E;
            });
        if (fromBoot) {
            if (prompt.kind == IdentityAnswer::Kind::Silent) {
                prompt.kind = IdentityAnswer::Kind::BootPrompt;
                prompt.raw = answer;
            }
        } else if (!noise && unknown.kind == IdentityAnswer::Kind::Silent) {
            unknown.kind = IdentityAnswer::Kind::Unknown;
            unknown.raw = answer;
        }
    }
    if (unknown.kind == IdentityAnswer::Kind::Unknown)
        return unknown;
    return prompt;
}

} // namespace romwright
