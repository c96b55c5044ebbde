#include "platform/Sleeper.h"

#include <thread>

namespace romwright {

void BlockingSleeper::sleep(std::chrono::milliseconds duration)
{
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

} // namespace romwright
