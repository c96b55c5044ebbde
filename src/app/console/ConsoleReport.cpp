#include "app/console/ConsoleReport.h"

#include "app/ExitStatus.h"
#include "app/console/JsonEvents.h"
#include "app/update/UpdateController.h"
#include "app/update/UpdateJson.h"
#include "app/update/UpdateMessages.h"
#include "platform/FileSystem.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace romwright {

ConsoleReport::ConsoleReport(std::FILE *out, std::FILE *err, bool json) : m_out(out), m_err(err), m_json(json)
{
}

void ConsoleReport::event(const QJsonObject &object)
{
    if (!m_json)
        return;
    QJsonObject withStep = object;
    if (!m_step.isEmpty() && !withStep.contains(json::kPhase))
        withStep.insert(json::kPhase, m_step);
    // Compact JSON has no line breaks of its own: a control character in a
    // file name or message is escaped, so one object stays one line.
    const QByteArray line = QJsonDocument(withStep).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), m_out);
    std::fflush(m_out);
}

int ConsoleReport::end(const RunEnding &ending)
{
    if (!ending.fields.isEmpty())
        setFailure(ending.fields);
    if (!ending.text.isEmpty())
        error(ending.text, ending.fields);
    if (!ending.advice.isEmpty())
        error(ending.advice);
    return ending.status;
}

void ConsoleReport::error(const QString &text, const QJsonObject &context)
{
    if (m_firstError.isEmpty())
        m_firstError = text;
    if (m_json) {
        QJsonObject object = context;
        object.insert(json::kEvent, json::events::kError);
        object.insert(QStringLiteral("text"), text);
        event(object);
        return;
    }
    std::fprintf(m_err, "romwright: %s\n", qPrintable(text));
}

void ConsoleReport::warning(const QString &text)
{
    if (m_json) {
        const QLatin1String name("romwright: ");
        event({{json::kEvent, json::events::kWarning},
               {QStringLiteral("text"), text.startsWith(name) ? text.mid(name.size()) : text}});
        return;
    }
    std::fprintf(m_err, "%s\n", qPrintable(text));
}

void ConsoleReport::scannerFound(const QString &model, int port)
{
    if (m_json) {
        event({{json::kEvent, json::events::kScanner},
               {QStringLiteral("found"), true},
               {QStringLiteral("model"), model},
               {QStringLiteral("port"), port}});
        return;
    }
    // A scanner in its boot software whose model nobody named.
    const QString shown = model.isEmpty() ? QStringLiteral("model not known") : model;
    std::fprintf(m_out, "Scanner: %s on port %d\n", qPrintable(shown), port);
    std::fflush(m_out);
}

void ConsoleReport::scannerNotFound(const QString &text)
{
    if (m_json) {
        event({{json::kEvent, json::events::kScanner},
               {QStringLiteral("found"), false},
               {QStringLiteral("text"), text}});
        return;
    }
    std::fprintf(m_out, "%s\n", qPrintable(text));
    std::fflush(m_out);
}

void ConsoleReport::firmwareFile(const QString &name)
{
    if (m_json) {
        event({{json::kEvent, json::events::kFirmware}, {QStringLiteral("file"), name}});
        return;
    }
    std::fprintf(m_out, "Firmware file: %s\n", qPrintable(name));
    std::fflush(m_out);
}

void ConsoleReport::answered(bool interrupted)
{
    if (!m_answered)
        return;
    const std::optional<QString> &name = *m_answered;
    interrupted = interrupted && !name;
    if (m_json) {
        QJsonObject object{{QStringLiteral("event"), QStringLiteral("identity")},
                           {QStringLiteral("answered"), name.has_value()}};
        if (name)
            object.insert(QStringLiteral("model"), *name);
        if (interrupted)
            object.insert(QStringLiteral("interrupted"), true);
        event(object);
    }
    const QString text = interrupted ? QString::fromLatin1(messages::kInterruptedIdentity)
                                     : UpdateController::answerText(name);
    if (!name)
        return warning(QStringLiteral("romwright: ") + text);
    if (!m_json) {
        std::fprintf(m_out, "%s\n", qPrintable(text));
        std::fflush(m_out);
    }
}

void ConsoleReport::candidates(const std::vector<FirmwareCandidate> &candidates,
                               const FileOpenContext &context)
{
    QJsonArray list;
    for (const FirmwareCandidate &c : candidates) {
        const QString state = c.path.isEmpty() ? QStringLiteral("missing")
                              : c.sound        ? QStringLiteral("sound")
                                               : QStringLiteral("unusable");
        const QString boot = bootSoftwareName(c.bTargetA);
        if (m_json) {
            QJsonObject object{{QStringLiteral("boot"), !c.bTargetA   ? QStringLiteral("either")
                                                        : *c.bTargetA ? QStringLiteral("128-byte")
                                                                      : QStringLiteral("64-byte")},
                               {QStringLiteral("file"), c.path.isEmpty() ? QJsonValue() : QJsonValue(c.path)},
                               {QStringLiteral("state"), state}};
            if (c.path.isEmpty())
                object.insert(QStringLiteral("advice"), missingFirmwareAdvice(c, candidates, context));
            list.append(object);
            continue;
        }
        const QString what = c.path.isEmpty()
                                 ? QStringLiteral("missing: ") + missingFirmwareAdvice(c, candidates, context)
                                 : QStringLiteral("%1 (%2)").arg(displayFileName(c.path),
                                                                 c.sound ? QStringLiteral("sound")
                                                                         : QStringLiteral("cannot be used"));
        std::fprintf(m_out, "Firmware for %s: %s\n", qPrintable(boot), qPrintable(what));
    }
    if (m_json)
        event(
            {{QStringLiteral("event"), QStringLiteral("candidates")}, {QStringLiteral("candidates"), list}});
    std::fflush(m_out);
}

void ConsoleReport::check(const CheckSummary &c)
{
    if (m_json) {
        event({{QStringLiteral("event"), QStringLiteral("check")},
               {QStringLiteral("port"), c.port},
               {QStringLiteral("model"), c.model},
               {QStringLiteral("answersAs"), c.answersAs.isEmpty() ? QJsonValue() : QJsonValue(c.answersAs)},
               {QStringLiteral("file"), c.file},
               {QStringLiteral("sha256"), c.sha256},
               {QStringLiteral("blocks"), c.blocks},
               {QStringLiteral("route"), c.route.isEmpty() ? QJsonValue() : QJsonValue(c.route)}});
        return;
    }
    std::fprintf(m_out,
                 "Check: the scanner on port %d %s; nothing was changed.\n"
                 "Model: %s\nFile: %s\nSHA-256: %s\nBlocks to send: %d\nRoute: %s\n"
                 "The update would go ahead.\n",
                 c.port, qPrintable(c.answer), qPrintable(c.model), qPrintable(displayFileName(c.file)),
                 qPrintable(c.sha256), c.blocks,
                 qPrintable(c.route.isEmpty()
                                ? QStringLiteral("chosen by the boot software's greeting once the "
                                                 "update restarts the scanner")
                                : c.route));
    std::fflush(m_out);
}

void ConsoleReport::result(int status)
{
    QJsonObject object = status == kExitCompleted ? QJsonObject() : m_failure;
    if (m_answered)
        object.insert(QStringLiteral("answersAs"), *m_answered ? QJsonValue(**m_answered) : QJsonValue());
    if (status != kExitCompleted && !object.contains(json::kReason) && !m_firstError.isEmpty())
        object.insert(QStringLiteral("reason"), m_firstError);
    object.insert(json::kEvent, json::events::kResult);
    object.insert(QStringLiteral("status"), status);
    object.insert(json::kCompleted, status == kExitCompleted);
    event(object);
}

} // namespace romwright
