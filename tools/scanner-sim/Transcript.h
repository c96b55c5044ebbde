#pragma once
// The --log file: every byte in and out with its time since the start, and
// what the scanner made of it. Written in large pieces so logging does not
// disturb the line's timing.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace romwright::sim {

class Transcript {
public:
    using Clock = std::chrono::steady_clock;

    explicit Transcript(Clock::time_point start) : m_start(start) {}
    Transcript(const Transcript &) = delete;
    Transcript &operator=(const Transcript &) = delete;
    ~Transcript();

    bool open(const std::string &path);
    // direction: "in" from the program, "out" to it.
    void byte(Clock::time_point at, const char *direction, std::uint8_t value, int rate,
              const char *remark = "");
    void note(Clock::time_point at, const std::string &text);
    void flush();

private:
    void line(Clock::time_point at, const std::string &text);

    Clock::time_point m_start;
    std::FILE *m_file = nullptr;
};

} // namespace romwright::sim
