// A POSIX system other than Linux: no driver knob the port could turn, so a
// port opens as the device is.
#include "platform/LineLatency.h"

namespace romwright {

namespace {

class NoLatencyKnobs final : public LatencyAccess {
public:
    std::optional<bool> lowLatency(int) override { return std::nullopt; }
    bool setLowLatency(int, bool) override { return false; }
    std::optional<int> latencyTimer(const QString &) override { return std::nullopt; }
    bool setLatencyTimer(const QString &, int) override { return false; }
};

} // namespace

LatencyAccess &LatencyAccess::system()
{
    static NoLatencyKnobs access;
    return access;
}

} // namespace romwright
