#include "shared/QuotaWindow.hpp"

#include "shared/QuotaInfo.hpp"

#include <functional>

namespace PawletShared {

std::optional<double> QuotaWindow::fiveHourFraction() const { return QuotaInfo::fraction(fiveHour); }
std::optional<double> QuotaWindow::sevenDayFraction() const { return QuotaInfo::fraction(sevenDay); }

}

size_t std::hash<PawletShared::QuotaWindow>::operator()(PawletShared::QuotaWindow const& window) const noexcept
{
    size_t seed = 0;
    auto combine = [&seed](std::optional<double> value) {
        // Each field adds its presence, then its value; 0 and -0 compare equal and so hash alike.
        size_t part = value ? 1 + std::hash<double> {}(*value == 0 ? 0.0 : *value) : 0;
        seed ^= part + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    };
    combine(window.fiveHour);
    combine(window.sevenDay);
    combine(window.resetsAt ? std::optional(window.resetsAt->secondsSince1970) : std::nullopt);
    return seed;
}
