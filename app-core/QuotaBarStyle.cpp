#include "app-core/QuotaBarStyle.hpp"

#include <algorithm>
#include <cmath>

namespace PupnikCore::QuotaBarStyle {

std::optional<double> fillWidth(double fraction)
{
    if (!std::isfinite(fraction) || fraction <= 0)
        return std::nullopt;
    if (fraction >= 1)
        return width;
    return std::max(fraction * width, minimumFill);
}

QuotaBarColour colour(std::string_view source)
{
    if (source == "codex")
        return QuotaBarColour::green;
    if (source == "process")
        return QuotaBarColour::gray;
    return QuotaBarColour::orange;
}

}
