#include "app-core/QuotaSummary.hpp"

#include <cmath>
#include <cstdio>
#include <optional>

namespace PupnikCore {

namespace {

std::string figure(char const* format, std::optional<double> value)
{
    // A value that is not finite prints as absent rather than as "nan" or "inf".
    if (!value || !std::isfinite(*value))
        return "-";
    char text[64];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

}

std::string quotaSummary(std::string_view source, PawletKit::QuotaInfo const& quota)
{
    std::optional<double> reset;
    if (quota.fiveHourResetsAt)
        reset = quota.fiveHourResetsAt->secondsSince1970;
    return std::string(source) + "=5h:" + figure("%.0f%%", quota.fiveHourUsed) + "/7d:" + figure("%.0f%%", quota.sevenDayUsed)
        + "/resets:" + figure("%.0f", reset);
}

std::string quotaSummary(std::string_view source, PawletKit::PawletState const& state)
{
    auto const found = state.quotaBySource.find(std::string(source));
    return quotaSummary(source, found == state.quotaBySource.end() ? PawletKit::QuotaInfo {} : found->second);
}

}
