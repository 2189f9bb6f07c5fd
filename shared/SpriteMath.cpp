#include "shared/SpriteMath.hpp"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace PawletShared::SpriteMath {

int64_t frameIndex(int64_t count, double elapsed, double fps, double rate)
{
    if (count < 1 || !std::isfinite(elapsed) || !std::isfinite(fps) || !(fps > 0) || !std::isfinite(rate) || !(rate > 0))
        return 0;
    double t = std::max(elapsed, 0.0);
    double p = rate * (fps * t);
    if (!std::isfinite(p))
        return 0;
    double f = std::floor(std::fmod(p, static_cast<double>(count)));
    if (!(f >= 1))
        return 0;
    // f is below count as a double; only a count beyond 2^53 can make the two disagree.
    double last = static_cast<double>(count - 1);
    if (f >= last)
        return count - 1;
    return static_cast<int64_t>(f);
}

std::string fileName(int64_t index)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02" PRId64 ".png", index);
    return buffer;
}

double interval(double fps, double rate, double cap)
{
    if (fps > 0 && rate > 0)
        return std::min(1.0 / (fps * rate), cap);
    return cap;
}

}
