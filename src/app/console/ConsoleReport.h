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

    // One event as a line of its own; only in JSON mode.
    void event(const QJsonObject &object);

    // "romwright: TEXT" on standard error, or {"event":"error","text":TEXT}.
    void error(const QString &text);
    // A line on standard error as it is, or {"event":"warning","text":TEXT}
    // without the "romwright: " it starts with: worth knowing, but the run goes on.
    void warning(const QString &text);

    void scannerFound(const QString &model, int port);
    // TEXT names what was there instead, as "Scanner Not Found (Compatibilty Mode)".
    void scannerNotFound(const QString &text);
    void firmwareFile(const QString &name);

    // {"event":"result","status":STATUS,"completed":...}: the last line of a
    // JSON run, written once the exit status is known. Nothing for people.
    void result(int status);

private:
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_json;
};

} // namespace romwright
