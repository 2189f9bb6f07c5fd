#pragma once

#include "PawletKit/Date.hpp"

#include <optional>

namespace PawletKit {

// An agent's usage limits as the engine last read them; percentages run from 0 to 100.
struct QuotaInfo {
    std::optional<double> fiveHourUsed;
    std::optional<Date> fiveHourResetsAt;
    std::optional<double> sevenDayUsed;
    std::optional<Date> sevenDayResetsAt;

    bool hasAnyValue() const;

    bool operator==(QuotaInfo const&) const = default;
};

}
