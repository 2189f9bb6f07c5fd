#include "agent-tool/MonotonicClock.hpp"

#include <ctime>

namespace AgentTool::MonotonicClock {

int64_t milliseconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}
