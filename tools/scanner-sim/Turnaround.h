#pragma once
// How long the program takes to answer an acknowledgement of the firmware
// pass: from the moment a "p" has gone into the terminal (after the line's
// pacing and any adapter latency) to the moment the first byte of the next
// record is read from it. A record that does not follow its "p" (the final
// "R", a lost line) leaves no sample.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace romwright::sim {

class Turnaround {
public:
    using Clock = std::chrono::steady_clock;

    struct Summary {
        std::size_t count = 0;
        std::chrono::microseconds mean{0};
        std::chrono::microseconds median{0};
        std::chrono::microseconds p95{0}; // the smallest value that 95 % of the samples do not exceed
        std::chrono::microseconds max{0};
    };

    void acknowledged(Clock::time_point written);
    // The first byte the program sent after the acknowledgement; isRecord
    // when it begins a record.
    void answered(Clock::time_point read, bool isRecord);

    const std::vector<std::chrono::microseconds> &samples() const { return m_samples; }
    Summary summary() const;
    // "turnaround after p: 150 records, mean 0.112 ms, ...", empty without samples.
    std::string text() const;

private:
    std::optional<Clock::time_point> m_pending;
    std::vector<std::chrono::microseconds> m_samples;
};

} // namespace romwright::sim
