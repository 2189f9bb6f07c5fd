#include "PawletKit/EngineConfig.hpp"

#include <algorithm>
#include <cmath>

namespace PawletKit {

EngineConfig const& EngineConfig::defaults()
{
    static EngineConfig const values;
    return values;
}

double EngineConfig::k() const
{
    if (kOverride)
        return *kOverride;
    // ln(0.99): keeps the logarithm away from zero for anchors at or below 1 %.
    constexpr double lnOfNinetyNinePercent = -0.01005033585350145;
    double anchor = std::min(anchorIntensity, 0.99);
    double logOfRest = anchorIntensity <= 0.01 ? lnOfNinetyNinePercent : std::log(1 - anchor);
    return tau * (weightPreToolUse + weightPostToolUse) * (anchorToolCallsPerMinute / -60) / logOfRest;
}

}
