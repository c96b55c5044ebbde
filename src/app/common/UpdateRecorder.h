#pragma once
// What an update leaves behind it in the state folder: the record of an
// unfinished update while a route changes the scanner (so that the next
// start can finish it), and once the click has ended its line in the update
// log, with the byte transcript of an update that did not complete.

#include "app/common/UnfinishedUpdate.h"
#include "flash/Outcome.h"
#include "flash/UpdateEvents.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace romwright {

class Clock;
class PortTranscript;

class UpdateRecorder {
public:
    // stateFolder empty: nothing is kept. transcript: what crossed the line, nullptr for none.
    UpdateRecorder(QString stateFolder, const Clock &clock, PortTranscript *transcript);

    // A click on PROGRAM begins: its account starts afresh.
    void begin();
    // The file passed its checks: the request went out next, so the click is logged.
    void requested() { m_run.requested = true; }
    // A route begins to change the scanner: its record is kept, and one of
    // the same update under the device's old port number goes.
    void routeBegins(const UnfinishedUpdate &record);
    // The scanner on PORT has its whole firmware: nothing is left to finish.
    void firmwareWritten(int port);
    void progress(const TransferProgress &progress) { m_run.progress = progress; }
    void answered(const std::optional<QString> &name) { m_run.answered = name; }
    void ended();
    // The click's line in the log when its request went out; NOW describes
    // the update as it stands, for a click whose route never began.
    void log(Outcome outcome, const std::optional<UpdateFailure> &failure, const UnfinishedUpdate &now);

    // Set when the record of an unfinished update could not be written.
    std::function<void(const QString &path)> recordNotWritten;
    // Set when the record of an update could not be removed once the scanner
    // had its whole firmware: the next start would offer to finish it.
    std::function<void(const QString &path)> recordNotRemoved;
    // Set when the update log or a failed update's transcript could not be
    // written; the update's result stays as it is.
    std::function<void(const QString &path)> logNotWritten;

private:
    // What the log says of the click under way.
    struct Run {
        bool requested = false;
        QDateTime started, ended;
        std::chrono::milliseconds startedAt{}, endedAt{};
        std::optional<UnfinishedUpdate> route;          // the record made as a route began
        std::optional<TransferProgress> progress;       // of the last pass begun
        std::optional<std::optional<QString>> answered; // asked after the update, and its answer
    };

    QString m_stateFolder;
    const Clock &m_clock;
    PortTranscript *m_transcript;
    Run m_run;
};

} // namespace romwright
