#include "platform/Clock.hpp"

#include "PawletKit/MonotonicClock.hpp"

#include <time.h>

namespace Platform {

double SystemClock::now() const
{
    timespec time {};
    ::clock_gettime(CLOCK_REALTIME, &time);
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}

double SystemClock::monotonic() const { return PawletKit::MonotonicClock::seconds(); }

}
