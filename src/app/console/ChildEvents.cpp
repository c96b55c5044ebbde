#include "app/console/ChildEvents.h"

#include "app/ExitStatus.h"
#include "app/console/JsonEvents.h"
#include "app/update/UpdateJson.h"

#include <QJsonDocument>

namespace romwright {

ChildLine readChildLine(const QByteArray &line, ScannerRow &row)
{
    ChildLine read;
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isObject()) {
        read.rowChanged = false;
        const QString text = QString::fromLocal8Bit(line).trimmed();
        if (text.isEmpty())
            return read;
        read.note = QStringLiteral("port %1: %2").arg(row.port).arg(text);
        read.object = {{json::kEvent, json::events::kWarning}, {json::kPort, row.port}, {json::kText, text}};
        return read;
    }
    QJsonObject object = document.object();
    object.insert(json::kPort, row.port);
    const QString event = object.value(json::kEvent).toString();
    const QString text = object.value(json::kText).toString();
    // The child names the step of its update on every event from the request on.
    const QString step = object.value(json::kPhase).toString();
    if (!step.isEmpty() && step != row.step && event != json::events::kProgress) {
        row.step = step;
        row.percent = -1;
    }
    if (event == json::events::kProgress) {
        if (!step.isEmpty())
            row.step = step;
        const qint64 sent = object.value(json::kSent).toInteger();
        const qint64 total = object.value(json::kTotal).toInteger();
        const qint64 bytes = object.value(json::kBytes).toInteger();
        const qint64 bytesTotal = object.value(json::kBytesTotal).toInteger();
        const qint64 ms = object.value(json::kMs).toInteger();
        row.percent = total > 0 ? int(100 * sent / total) : 0;
        row.rate = ms > 0 ? bytes * 1000 / ms : 0;
        row.secondsLeft = row.rate > 0 ? (bytesTotal - bytes + row.rate - 1) / row.rate : 0;
    } else if (event == json::events::kScanner && object.value(json::kFound).toBool()) {
        row.model = object.value(json::kModel).toString();
    } else if (event == json::events::kFirmware) {
        row.file = object.value(json::kFile).toString();
    } else if (event == json::events::kMessage) {
        row.notes << object.value(json::kTitle).toString() + QStringLiteral(": ") + text;
    } else if (event == json::events::kError) {
        row.notes << text;
    } else if (event == json::events::kWarning) {
        read.warning = text;
    } else if (event == json::events::kPrompt) {
        row.step = QStringLiteral("power-cycle");
        row.percent = -1;
        if (object.value(json::kWaiting).toBool()) {
            read.waitsAtPrompt = true;
        } else {
            read.note = QStringLiteral("port %1: %2: %3 (--yes: going on)")
                            .arg(row.port)
                            .arg(object.value(json::kTitle).toString(), text);
            read.noteIsError = false;
        }
    } else if (event == json::events::kResult) {
        read.status = object.value(json::kStatus).toInt(kExitFailed);
        // Why it failed and where, for the whole run's result.
        if (!object.value(json::kCompleted).toBool())
            for (const QLatin1String key : json::kFailureKeys)
                if (object.contains(key))
                    row.failure.insert(key, object.value(key));
    }
    read.object = object;
    return read;
}

} // namespace romwright
