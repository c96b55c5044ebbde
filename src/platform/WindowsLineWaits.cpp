#include "platform/LineWaitsDetail.h"

#include <windows.h>

namespace romwright {

LineWaker::LineWaker() : m_handle(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

LineWaker::~LineWaker()
{
    if (m_handle)
        CloseHandle(m_handle);
}

void LineWaker::wake()
{
    SetEvent(m_handle);
}

bool LineWaker::wait(std::optional<std::chrono::steady_clock::time_point> until)
{
    if (!m_handle)
        return false;
    const auto &sources = lineWaits::detail::t_sources;
    std::vector<HANDLE> handles;
    handles.push_back(m_handle);
    for (const LineSource *source : sources)
        if (handles.size() < MAXIMUM_WAIT_OBJECTS)
            handles.push_back(source->waitHandle());
    DWORD bound = INFINITE;
    if (until) {
        // Rounded up: a wait that wakes before its deadline only waits again.
        const auto left =
            std::max(*until - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration(0));
        bound = DWORD(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }
    // Alertable: Wine hands a console's Ctrl-C to the program as a call
    // queued to its main thread, which runs only in such a wait.
    const DWORD got = WaitForMultipleObjectsEx(DWORD(handles.size()), handles.data(), FALSE, bound, TRUE);
    if (got == WAIT_TIMEOUT || got == WAIT_IO_COMPLETION)
        return true;
    if (got >= WAIT_OBJECT_0 + handles.size())
        return false;
    // The one that ended the wait and every other that is ready as well.
    std::vector<LineSource *> served;
    for (std::size_t i = 1; i < handles.size(); ++i)
        if (i == got - WAIT_OBJECT_0 || WaitForSingleObject(handles[i], 0) == WAIT_OBJECT_0)
            served.push_back(sources[i - 1]);
    lineWaits::detail::serveStill(served);
    return true;
}

} // namespace romwright
