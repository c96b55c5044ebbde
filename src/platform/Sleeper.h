#pragma once
// Blocking pauses. They freeze the caller on purpose: the scanner's boot
// software needs those gaps, and no window event may run inside them.

#include <chrono>

namespace romwright {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

class BlockingSleeper final : public Sleeper {
public:
    void sleep(std::chrono::milliseconds duration) override;
};

} // namespace romwright
