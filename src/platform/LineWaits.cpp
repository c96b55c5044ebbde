#include "platform/LineWaits.h"

#include <algorithm>
#include <vector>

namespace romwright {

HandleSource::HandleSource(WaitHandle handle, std::function<void()> onReady, Serving serving)
    : m_handle(handle), m_onReady(std::move(onReady)), m_serving(serving)
{
    lineWaits::join(*this);
}

void HandleSource::serve()
{
    if (m_serving == Once)
        lineWaits::leave(*this);
    m_onReady();
}

HandleSource::~HandleSource()
{
    lineWaits::leave(*this);
}

namespace lineWaits {

namespace detail {
thread_local std::vector<LineSource *> t_sources;
thread_local const void *t_clock = nullptr;
} // namespace detail

void join(LineSource &source)
{
    auto &sources = detail::t_sources;
    if (std::find(sources.begin(), sources.end(), &source) == sources.end())
        sources.push_back(&source);
}

void leave(LineSource &source)
{
    auto &sources = detail::t_sources;
    sources.erase(std::remove(sources.begin(), sources.end(), &source), sources.end());
}

bool owned()
{
    return detail::t_clock != nullptr;
}

} // namespace lineWaits

} // namespace romwright
