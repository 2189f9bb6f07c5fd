#pragma once

#include "PawletKit/Date.hpp"

#include <cstddef>
#include <optional>

namespace PawletShared {

// One agent's quota reading as published.
struct QuotaWindow {
    std::optional<double> fiveHour;
    std::optional<double> sevenDay;
    // When the agent's usage window resets.
    std::optional<PawletKit::Date> resetsAt;

    std::optional<double> fiveHourFraction() const;
    std::optional<double> sevenDayFraction() const;
    // Neither percentage is known; resetsAt plays no part.
    bool isEmpty() const { return !fiveHour && !sevenDay; }

    bool operator==(QuotaWindow const&) const = default;
};

}

template<>
struct std::hash<PawletShared::QuotaWindow> {
    size_t operator()(PawletShared::QuotaWindow const& window) const noexcept;
};
