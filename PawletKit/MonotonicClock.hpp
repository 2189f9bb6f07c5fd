#pragma once

#include <cstdint>

// A clock that wall-clock changes never move; only differences between its readings mean anything.
namespace PawletKit::MonotonicClock {

double seconds();
int64_t milliseconds();

}
