#include "platform/Clock.hpp"

#include <time.h>

namespace Platform {

namespace {

double read(clockid_t clock)
{
    timespec time {};
    ::clock_gettime(clock, &time);
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}

}

double SystemClock::now() const { return read(CLOCK_REALTIME); }
double SystemClock::monotonic() const { return read(CLOCK_MONOTONIC); }

}
