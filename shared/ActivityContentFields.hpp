#pragma once

#include "shared/CollarStyle.hpp"
#include "shared/Localizer.hpp"
#include "shared/PetSnapshot.hpp"
#include "shared/QuotaBarSpec.hpp"
#include "shared/Skin.hpp"
#include "shared/StatusDot.hpp"

#include <optional>
#include <string>
#include <vector>

namespace PawletShared {

// Everything a compact surface (a live activity, a widget) shows of a snapshot, in one record.
struct ActivityContentFields {
    std::string clip;
    std::string skin;
    std::optional<std::string> statusLine;
    std::optional<std::string> statusWord;
    std::vector<StatusDot> dots;
    bool needsYou { false };
    std::optional<std::string> needsYouLabel;
    std::optional<double> quotaFraction;
    std::vector<QuotaBarSpec> bars;
    std::vector<std::string> activeSources;

    // Hidden withholds texts, labels, dots and the needs-you flag; clip, skin, bars and the active
    // sources stay.
    static ActivityContentFields make(PetSnapshot const& snapshot, Skin skin, bool hidden, Localizer const& localizer);

    std::optional<CollarStyle> collarStyle() const;
    // The texts present: status line, status word, needs-you label, then the bar labels in order.
    std::vector<std::string> allTexts() const;

    bool operator==(ActivityContentFields const&) const = default;
};

}
