#pragma once
// A Sleeper that only notes the pauses asked of it.

#include "platform/Sleeper.h"

#include <vector>

namespace romwright::test {

class RecordingSleeper final : public Sleeper {
public:
    void sleep(std::chrono::milliseconds duration) override { pauses.push_back(duration); }
    std::vector<std::chrono::milliseconds> pauses;
};

} // namespace romwright::test
