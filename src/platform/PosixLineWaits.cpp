#include "platform/LineWaitsDetail.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace romwright {

LineWaker::LineWaker() : m_handle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

LineWaker::~LineWaker()
{
    if (m_handle >= 0)
        ::close(m_handle);
}

void LineWaker::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_handle, &one, sizeof one);
}

bool LineWaker::wait(std::optional<std::chrono::steady_clock::time_point> until)
{
    if (m_handle < 0)
        return false;
    const auto &sources = lineWaits::detail::t_sources;
    // Kept between waits: the firmware pass waits once per record. Only the
    // poll uses it; serving a source may wait again.
    thread_local std::vector<pollfd> fds;
    fds.clear();
    fds.push_back({m_handle, POLLIN, 0});
    for (const LineSource *source : sources)
        fds.push_back({source->waitHandle(), POLLIN, 0});
    timespec bound{};
    if (until) {
        const auto left =
            std::max(*until - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration(0));
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        bound.tv_sec = seconds.count();
        bound.tv_nsec = long(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count());
    }
    const int ready = ::ppoll(fds.data(), fds.size(), until ? &bound : nullptr, nullptr);
    if (ready <= 0)
        return ready == 0 || errno == EINTR;
    if (fds[0].revents != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(m_handle, &count, sizeof count);
    }
    std::vector<LineSource *> served;
    for (std::size_t i = 1; i < fds.size(); ++i)
        if (fds[i].revents != 0)
            served.push_back(sources[i - 1]);
    lineWaits::detail::serveStill(served);
    return true;
}

} // namespace romwright
