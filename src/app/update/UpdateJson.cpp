#include "app/update/UpdateJson.h"

#include <QString>

namespace romwright {

const char *resultName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::EndCompleted:
        return "completed";
    case Outcome::EndTimedOut:
        return "timed-out";
    case Outcome::EndStalled:
        return "stalled";
    case Outcome::EndConnectionLost:
        return "connection-lost";
    case Outcome::EndCancelled:
        return "cancelled";
    case Outcome::EndNoBlocks:
        return "no-blocks";
    case Outcome::EndWrongModel:
        return "wrong-model";
    case Outcome::EndClosed:
        return "interrupted";
    case Outcome::Stopped:
    case Outcome::Ok:
    case Outcome::Missed:
        break;
    }
    return "stopped";
}

QJsonObject failureJson(Outcome outcome, const std::optional<UpdateFailure> &failure)
{
    QJsonObject o{{json::kReason, QLatin1String(describe(outcome))}};
    if (!failure)
        return o;
    const QLatin1String step(stepName(failure->step));
    o.insert(json::kStep, step);
    o.insert(json::kPhase, step);
    if (failure->block >= 0)
        o.insert(json::kBlock, failure->block);
    if (failure->address >= 0)
        o.insert(json::kAddress, failure->address);
    if (failure->awaited) {
        o.insert(json::kAwaited, QString(QLatin1Char(*failure->awaited)));
        o.insert(json::kArrived, QString::fromLatin1(failure->arrived));
    }
    if (!failure->portError.isEmpty())
        o.insert(json::kPortError, failure->portError);
    return o;
}

} // namespace romwright
