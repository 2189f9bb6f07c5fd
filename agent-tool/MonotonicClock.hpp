#pragma once

#include <cstdint>

namespace AgentTool::MonotonicClock {

// Milliseconds on a clock that wall-clock changes never move; only differences mean anything.
int64_t milliseconds();

}
