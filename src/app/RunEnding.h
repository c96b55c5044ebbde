#pragma once
// How a run ends, whatever ended it (the command line, start-up, the gate,
// the update, a signal): one value with its kind, what is said, the advice
// and the exit status. The layers below keep their own enums; the front ends
// turn them into this, and each renders it in one place: the console as text
// or JSON (ConsoleReport::end), the window as the status it ends with.

#include "app/ExitStatus.h"
#include "app/update/UpdateJson.h"
#include "flash/Outcome.h"
#include "flash/UpdateEvents.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <utility>

namespace romwright {

struct RunEnding {
    enum class Kind {
        Completed,   // the update, or the check, did what was asked
        Failed,      // it did not; whatever changed the scanner or not is in the text
        Usage,       // the command line was not understood
        Interrupted, // a termination signal cut the run short
    };
    Kind kind = Kind::Completed;
    QString text;       // said when the run ends; "" when it was said as it happened
    QString advice;     // what to do next, on a line of its own; "" for none
    QJsonObject fields; // where and how an update failed, carried by the result
    int status = kExitCompleted;

    static RunEnding completed() { return {}; }
    static RunEnding failed(QString text = {}, QString advice = {}, QJsonObject fields = {})
    {
        return {Kind::Failed, std::move(text), std::move(advice), std::move(fields), kExitFailed};
    }
    static RunEnding usage(QString text) { return {Kind::Usage, std::move(text), {}, {}, kExitUsage}; }
    static RunEnding interrupted(QString text, int status)
    {
        return {Kind::Interrupted, std::move(text), {}, {}, status};
    }
};

// The end an update's outcome makes of the run.
inline RunEnding updateEnding(Outcome outcome, const std::optional<UpdateFailure> &failure)
{
    if (outcome == Outcome::EndCompleted)
        return RunEnding::completed();
    if (outcome == Outcome::EndWrongModel)
        return RunEnding::failed(
            QStringLiteral("the firmware was written, but %1").arg(QLatin1String(describe(outcome))), {},
            failureJson(outcome, std::nullopt));
    if (failure)
        return RunEnding::failed(
            QStringLiteral("the update did not complete: %1").arg(describeFailure(outcome, *failure)), {},
            failureJson(outcome, failure));
    return RunEnding::failed(
        QStringLiteral("the update did not complete: %1").arg(QLatin1String(describe(outcome))));
}

} // namespace romwright
