#include "shared/QuotaInfo.hpp"

namespace PawletShared {

std::optional<double> QuotaInfo::fraction(std::optional<double> percentage)
{
    if (!percentage)
        return std::nullopt;
    double value = *percentage / 100;
    // Written so that NaN lands on 0.
    if (!(value >= 0))
        return 0.0;
    return value > 1 ? 1.0 : value;
}

std::optional<double> QuotaInfo::fiveHourFraction() const { return fraction(fiveHour); }
std::optional<double> QuotaInfo::sevenDayFraction() const { return fraction(sevenDay); }

}
