#include "platform/LineWaitsDetail.h"
#include "platform/WindowsLineReader.h"

#include <windows.h>

namespace romwright {

namespace {

thread_local LineReader *t_reader = nullptr;
// When a wait with a reader last looked at the thread's other handles.
thread_local std::chrono::steady_clock::time_point t_lastLook{};

DWORD boundOf(std::optional<std::chrono::steady_clock::time_point> until)
{
    if (!until)
        return INFINITE;
    // Rounded up: a wait that wakes before its deadline only waits again.
    const auto left =
        std::max(*until - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration(0));
    return DWORD(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Waits up to bound for the wake-up or a source of this thread's list and
// serves the ready sources. Alertable: Wine hands a console's Ctrl-C to the
// program as a call queued to its main thread, which runs only in such a
// wait. Nothing when nothing came; false when the system refused the wait.
std::optional<bool> waitHandles(HANDLE wakeUp, DWORD bound)
{
    const auto &sources = lineWaits::detail::t_sources;
    std::vector<HANDLE> handles;
    handles.push_back(wakeUp);
    for (const LineSource *source : sources)
        if (handles.size() < MAXIMUM_WAIT_OBJECTS)
            handles.push_back(source->waitHandle());
    const DWORD got = WaitForMultipleObjectsEx(DWORD(handles.size()), handles.data(), FALSE, bound, TRUE);
    if (got == WAIT_TIMEOUT)
        return std::nullopt;
    if (got == WAIT_IO_COMPLETION)
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

} // namespace

namespace lineReader {

LineReader *current()
{
    return t_reader;
}

void claim(LineReader &reader)
{
    t_reader = &reader;
    t_lastLook = {};
}

void release(LineReader &reader)
{
    if (t_reader == &reader)
        t_reader = nullptr;
}

} // namespace lineReader

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
    using namespace std::chrono;
    if (!m_handle)
        return false;
    LineReader *reader = t_reader;
    if (!reader)
        return waitHandles(m_handle, boundOf(until)).value_or(true);
    // The other handles first when a slice has passed since they were last
    // looked at; then the reader, for a slice or up to until.
    const auto now = steady_clock::now();
    if (now - t_lastLook >= LineReader::kReadSlice) {
        t_lastLook = now;
        if (const std::optional<bool> looked = waitHandles(m_handle, 0))
            return *looked;
    }
    const milliseconds bound = std::min(milliseconds(boundOf(until)), LineReader::kReadSlice);
    if (bound.count() > 0)
        reader->readFor(bound);
    return true;
}

} // namespace romwright
