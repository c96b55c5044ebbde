#include "Transcript.h"

namespace romwright::sim {

Transcript::~Transcript()
{
    if (m_file)
        std::fclose(m_file);
}

bool Transcript::open(const std::string &path)
{
    m_file = std::fopen(path.c_str(), "w");
    if (m_file)
        std::setvbuf(m_file, nullptr, _IOFBF, 1 << 16);
    return m_file != nullptr;
}

void Transcript::line(Clock::time_point at, const std::string &text)
{
    if (!m_file)
        return;
    const double seconds = std::chrono::duration<double>(at - m_start).count();
    std::fprintf(m_file, "%11.6f %s\n", seconds, text.c_str());
}

void Transcript::byte(Clock::time_point at, const char *direction, std::uint8_t value, int rate,
                      const char *remark)
{
    if (!m_file)
        return;
    char text[96];
    if (value >= 0x20 && value < 0x7F)
        std::snprintf(text, sizeof text, "%-3s 0x%02X '%c' %d%s%s", direction, value, value, rate,
                      *remark ? " " : "", remark);
    else
        std::snprintf(text, sizeof text, "%-3s 0x%02X     %d%s%s", direction, value, rate, *remark ? " " : "",
                      remark);
    line(at, text);
}

void Transcript::note(Clock::time_point at, const std::string &text)
{
    line(at, "--  " + text);
}

void Transcript::flush()
{
    if (m_file)
        std::fflush(m_file);
}

} // namespace romwright::sim
