#pragma once

#include "shared/AgentSource.hpp"
#include "shared/CollarColor.hpp"
#include "shared/PetSnapshot.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace PawletShared {

// Which sources colour the collar: the front one the left half and the tag, the back one the right
// half (the front colour when there is none).
struct CollarStyle {
    AgentSource front { AgentSource::claude };
    std::optional<AgentSource> back;

    // Names are matched lower-cased, untrimmed; the first two known sources in canonical order
    // make the style. Nothing when no name is a known source.
    static std::optional<CollarStyle> fromSources(std::vector<std::string> const& names);
    // The style of the sources a snapshot shows: its active sources, else those with sessions.
    static std::optional<CollarStyle> fromSnapshot(PetSnapshot const& snapshot);

    bool isTwoTone() const;
    CollarColor frontColor() const;
    CollarColor backColor() const;

    bool operator==(CollarStyle const&) const = default;
};

}

template<>
struct std::hash<PawletShared::CollarStyle> {
    size_t operator()(PawletShared::CollarStyle const& style) const noexcept;
};
