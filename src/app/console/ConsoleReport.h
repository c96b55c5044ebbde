#pragma once
// What the console front end says besides the lamps, messages and progress:
// the scanner found, the firmware file taken, what went wrong, and how the
// run ended. For people it is text ("romwright: ..." on standard error); with
// --json every event, the view's and the dialogs' included, is one JSON
// object on a line of standard output, so that a script reads one stream.

#include "app/RunEnding.h"
#include "app/update/FirmwareDiscovery.h"

#include <QJsonObject>
#include <QString>

#include <cstdio>
#include <optional>
#include <vector>

namespace romwright {

// What --check found: the update that would go ahead.
struct CheckSummary {
    int port = 0;
    QString model;     // the model the update would be for
    QString answersAs; // the model the scanner answered as, "" for none
    QString answer;    // how the scanner answered, for people
    QString file;
    QString sha256;
    int blocks = 0;
    QString route; // "" while the boot software's greeting is to choose it
};

class ConsoleReport {
public:
    ConsoleReport(std::FILE *out, std::FILE *err, bool json);

    bool json() const { return m_json; }

    // One event as a line of its own; only in JSON mode. Once an update has
    // begun, each carries its step as "phase".
    void event(const QJsonObject &object);

    // The step of the update that every later event names.
    void setStep(const QString &step) { m_step = step; }

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

    // What the scanner answered when asked its identity after the update
    // (nullopt: nothing); answered() says it, and the result carries it.
    void setAnswered(const std::optional<QString> &name) { m_answered = name; }
    // "The scanner answers as NAME." on standard output, or the warning that it
    // did not answer; {"event":"identity","answered":...,"model":NAME} in JSON.
    // interrupted: a signal cut the question short, which is said instead
    // of silence ("interrupted":true).
    void answered(bool interrupted = false);

    // The files the search would take, one line a boot software:
    // "Firmware for the 64-byte boot software: PATH (sound)", "... (cannot be
    // used)" or "... missing: put NAME in FOLDER"; in JSON one
    // {"event":"candidates","candidates":[{"boot":"64-byte","file":PATH,"state":"sound"},...]}.
    void candidates(const std::vector<FirmwareCandidate> &candidates, const FileOpenContext &context);

    // The verdict of --check, when the update would go ahead.
    void check(const CheckSummary &summary);

    // Where and how the update ended early: its result carries these fields.
    void setFailure(const QJsonObject &context) { m_failure = context; }

    // {"event":"result","status":STATUS,"completed":...}: the last line of a
    // JSON run, written once the exit status is known. Nothing for people.
    // A failed run's result carries the failure's fields, or at least a
    // "reason": the first error said, which the later ones explain.
    void result(int status);

    // The run's end as people or a script read it: its text as an error with
    // its fields (which the result carries), then its advice; the exit status.
    int end(const RunEnding &ending);

private:
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_json;
    QString m_step;
    QString m_firstError;
    QJsonObject m_failure;
    std::optional<std::optional<QString>> m_answered;
};

} // namespace romwright
