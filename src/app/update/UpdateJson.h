#pragma once
// An update's end as JSON, one shape wherever it is written: the console's
// error and result objects, the update log's "failure", and the result a
// several-scanner run keeps of each child. The keys are named here alone.

#include "flash/Outcome.h"
#include "flash/UpdateEvents.h"

#include <QJsonObject>
#include <QLatin1String>

#include <array>

namespace romwright::json {

inline constexpr QLatin1String kEvent{"event"};
inline constexpr QLatin1String kText{"text"};
inline constexpr QLatin1String kTitle{"title"};
inline constexpr QLatin1String kPort{"port"};
inline constexpr QLatin1String kModel{"model"};
inline constexpr QLatin1String kFile{"file"};
inline constexpr QLatin1String kFound{"found"};
inline constexpr QLatin1String kWaiting{"waiting"};
inline constexpr QLatin1String kSent{"sent"};
inline constexpr QLatin1String kTotal{"total"};
inline constexpr QLatin1String kBytes{"bytes"};
inline constexpr QLatin1String kBytesTotal{"bytesTotal"};
inline constexpr QLatin1String kMs{"ms"};
inline constexpr QLatin1String kStatus{"status"};
inline constexpr QLatin1String kCompleted{"completed"};
inline constexpr QLatin1String kResult{"result"};
inline constexpr QLatin1String kSeconds{"seconds"};
inline constexpr QLatin1String kError{"error"};
inline constexpr QLatin1String kScanners{"scanners"};

// Where an update ended early. The step is "step"; the console has always
// named it "phase" as well, as every one of its events does, and scripts
// read that, so both are written with the same value.
inline constexpr QLatin1String kReason{"reason"};
inline constexpr QLatin1String kStep{"step"};
inline constexpr QLatin1String kPhase{"phase"};
inline constexpr QLatin1String kBlock{"block"};
inline constexpr QLatin1String kAddress{"address"}; // the block's first target address, a number
inline constexpr QLatin1String kAwaited{"awaited"};
inline constexpr QLatin1String kArrived{"arrived"};
inline constexpr QLatin1String kPortError{"portError"};

inline constexpr std::array kFailureKeys{kReason,  kStep,    kPhase,   kBlock,
                                         kAddress, kAwaited, kArrived, kPortError};

} // namespace romwright::json

namespace romwright {

// The log's and the several-scanner table's word for how an update ended:
// "completed", "timed-out", "stalled", "connection-lost", "cancelled",
// "no-blocks", "wrong-model", "interrupted" or "stopped".
const char *resultName(Outcome outcome);

// The outcome's "reason" and, when it ended early, where: its step, block
// and address, the letter awaited and what arrived, the port's error.
QJsonObject failureJson(Outcome outcome, const std::optional<UpdateFailure> &failure);

} // namespace romwright
