#pragma once

#include "PawletKit/Date.hpp"

#include <optional>

namespace PawletShared {

// The overall quota reading as published; not the engine's QuotaInfo, which is converted field by field.
struct QuotaInfo {
    // When each usage window resets.
    struct Resets {
        std::optional<PawletKit::Date> fiveHour;
        std::optional<PawletKit::Date> sevenDay;

        bool operator==(Resets const&) const = default;
    };

    // Percentages of the windows used, 0 to 100 as published; not clamped here.
    std::optional<double> fiveHour;
    std::optional<double> sevenDay;
    Resets resets;

    // The percentage as a fraction for bars, within 0...1 (a value that is not a number gives 0).
    std::optional<double> fiveHourFraction() const;
    std::optional<double> sevenDayFraction() const;

    // The fraction rule shared with QuotaWindow.
    static std::optional<double> fraction(std::optional<double> percentage);

    bool operator==(QuotaInfo const&) const = default;
};

}
