#pragma once
// What an update leaves behind it in the state folder: the record of an
// unfinished update from the request that restarts the scanner into its boot
// software until the scanner has its firmware (so that the next start can
// finish it), and once the click has ended its line in the update log, with
// the byte transcript of an update that did not complete. It listens to the
// update (and to start-up's identification) like any front end.

#include "app/update/UnfinishedUpdate.h"
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

class UpdateRecorder : public UpdateEvents {
public:
    // The update as it stands (port, device, model, processor, file) with
    // the greeting letter of the route that begins, 0 when none did.
    using Describe = std::function<UnfinishedUpdate(char boot)>;
    // Where and how the update that has just ended ended early; nullopt after a completion.
    using Failure = std::function<std::optional<UpdateFailure>()>;

    // stateFolder empty: nothing is kept. transcript: what crossed the line, nullptr for none.
    UpdateRecorder(QString stateFolder, const Clock &clock, PortTranscript *transcript, Describe describe,
                   Failure failure);

    // A click on PROGRAM begins: its account starts afresh.
    void started() override;
    // The request goes out once the file has passed its checks: the click is logged.
    void step(UpdateStep step) override;
    // The scanner is about to be restarted into its boot software: the
    // update's record is kept, its boot software not known yet. A scanner
    // whose model nobody has named yet gets none: it could not be finished
    // from it.
    void beforeRestart() override;
    // A route begins to change the scanner: its record is kept, with the
    // route's greeting.
    void beforeChange(char boot) override;
    // The scanner has its whole firmware: nothing is left to finish.
    void firmwareWritten() override;
    void progress(const TransferProgress &progress) override { m_run.progress = progress; }
    void answeredAfterUpdate(const std::optional<QString> &name) override { m_run.answered = name; }
    // The click's line in the log, when its request went out, is written
    // as the update ends, before whatever it ends with is said: a stop
    // before a route, or the end of the update.
    void stopped(UpdateStop) override;
    void finished(Outcome outcome) override;

    // A record of this program's update stands in the state folder: written
    // and not removed since.
    bool recordKept() const { return m_recordKept; }
    // The user leaves without an update: this program's record goes when it
    // says no more than that the scanner was restarted (no route began), so
    // that no later start offers to finish an update nobody began.
    void leftWithoutUpdate();

    // Set when the record of an unfinished update could not be written; said
    // once in the program's life.
    std::function<void(const QString &path)> recordNotWritten;
    // Set when the record of an update could not be removed once the scanner
    // had its whole firmware: the next start would offer to finish it.
    std::function<void(const QString &path)> recordNotRemoved;
    // Set when the update log or a failed update's transcript could not be
    // written; the update's result stays as it is.
    std::function<void(const QString &path)> logNotWritten;
    // Set when a symbolic link stood where the record, the log or a
    // transcript is written: it was renamed aside, never written through.
    // text says what it was, where it led and where it went.
    std::function<void(const QString &text)> linkSetAside;

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

    // Saves record; one of the same update under the device's old port
    // number goes.
    void keep(const UnfinishedUpdate &record);
    // The click's line; NOW describes the update as it stands, for a click
    // whose route never began.
    void log(Outcome outcome, const std::optional<UpdateFailure> &failure, const UnfinishedUpdate &now);

    QString m_stateFolder;
    const Clock &m_clock;
    PortTranscript *m_transcript;
    Describe m_describe;
    Failure m_failure;
    Run m_run;
    bool m_recordKept = false;
    bool m_notWrittenSaid = false;
};

} // namespace romwright
