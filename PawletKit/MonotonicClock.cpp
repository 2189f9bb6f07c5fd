#include "PawletKit/MonotonicClock.hpp"

#include <ctime>

namespace PawletKit::MonotonicClock {

namespace {

timespec now()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

}

double seconds()
{
    auto const time = now();
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

int64_t milliseconds()
{
    auto const time = now();
    return static_cast<int64_t>(time.tv_sec) * 1000 + time.tv_nsec / 1'000'000;
}

}
