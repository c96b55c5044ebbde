#pragma once
// What the console front end says besides the lamps, messages and progress:
// the scanner found, the firmware file taken, what went wrong, and how the
// run ended. For people it is text ("romwright: ..." on standard error); with
// --json every event, the view's and the dialogs' included, is one JSON
// object on a line of standard output, so that a script reads one stream.

#include <QJsonObject>
#include <QString>

#include <cstdio>

namespace romwright {

class ConsoleReport {
public:
    ConsoleReport(std::FILE *out, std::FILE *err, bool json);

    bool json() const { return m_json; }

    // One event as a line of its own; only in JSON mode. Once an update has
    // begun, each carries its step as "phase".
    void event(const QJsonObject &object);

    // The step of the update that every later event names.
    void setPhase(const QString &phase) { m_phase = phase; }

    // "romwright: TEXT" on standard error, or {"event":"error","text":TEXT}
    // with the fields of context (an update's "reason", "block", ...).
    void error(const QString &text, const QJsonObject &context = {});
    // A line on standard error as it is, or {"event":"warning","text":TEXT}
    // without the "romwright: " it starts with: worth knowing, but the run goes on.
    void warning(const QString &text);

    void scannerFound(const QString &model, int port);
    // TEXT names what was there instead, as "Scanner Not Found (Compatibilty Mode)".
    void scannerNotFound(const QString &text);
    void firmwareFile(const QString &name);

    // Where and how the update ended early: its result carries these fields.
    void setFailure(const QJsonObject &context) { m_failure = context; }

    // {"event":"result","status":STATUS,"completed":...}: the last line of a
    // JSON run, written once the exit status is known. Nothing for people.
    // A failed run's result carries the failure's fields, or at least a
    // "reason": the first error said, which the later ones explain.
    void result(int status);

private:
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_json;
    QString m_phase;
    QString m_firstError;
    QJsonObject m_failure;
};

} // namespace romwright
