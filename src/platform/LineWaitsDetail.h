#pragma once
// This thread's sources and clocks, for the system's LineWaker.

#include "platform/LineWaits.h"

#include <algorithm>
#include <vector>

namespace romwright::lineWaits::detail {

extern thread_local std::vector<LineSource *> t_sources;
extern thread_local const void *t_clock; // the LineClock made on this thread

// Serves each of ready that is still in the list: serving one may close
// another (a lost line ends the wait's port and its siblings).
inline void serveStill(const std::vector<LineSource *> &ready)
{
    for (LineSource *source : ready)
        if (std::find(t_sources.begin(), t_sources.end(), source) != t_sources.end())
            source->serve();
}

} // namespace romwright::lineWaits::detail
