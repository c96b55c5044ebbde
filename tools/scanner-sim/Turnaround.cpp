#include "Turnaround.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace romwright::sim {

void Turnaround::acknowledged(Clock::time_point written)
{
    m_pending = written;
}

void Turnaround::answered(Clock::time_point read, bool isRecord)
{
    if (!m_pending)
        return;
    if (isRecord)
        m_samples.push_back(std::chrono::duration_cast<std::chrono::microseconds>(read - *m_pending));
    m_pending.reset();
}

Turnaround::Summary Turnaround::summary() const
{
    Summary s;
    s.count = m_samples.size();
    if (s.count == 0)
        return s;
    std::vector<std::chrono::microseconds> sorted = m_samples;
    std::sort(sorted.begin(), sorted.end());
    s.mean = std::accumulate(sorted.begin(), sorted.end(), std::chrono::microseconds(0)) /
             static_cast<long>(s.count);
    // Nearest rank: the sample at rank ceil(p * n), counted from 1.
    auto rank = [&](std::size_t percent) { return sorted[(percent * s.count + 99) / 100 - 1]; };
    s.median = rank(50);
    s.p95 = rank(95);
    s.max = sorted.back();
    return s;
}

std::string Turnaround::text() const
{
    const Summary s = summary();
    if (s.count == 0)
        return {};
    auto ms = [](std::chrono::microseconds us) { return double(us.count()) / 1000.0; };
    char text[160];
    std::snprintf(text, sizeof text,
                  "turnaround after p: %zu records, mean %.3f ms, median %.3f ms, 95th percentile %.3f ms, "
                  "max %.3f ms",
                  s.count, ms(s.mean), ms(s.median), ms(s.p95), ms(s.max));
    return text;
}

} // namespace romwright::sim
