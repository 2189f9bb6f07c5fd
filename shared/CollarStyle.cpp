#include "shared/CollarStyle.hpp"

#include "shared/CollarPalette.hpp"

#include "PawletKit/ASCII.hpp"

#include <algorithm>
#include <array>
#include <functional>
#include <string_view>

namespace PawletShared {

std::optional<CollarStyle> CollarStyle::fromSources(std::vector<std::string> const& names)
{
    std::array<bool, allAgentSources.size()> present {};
    for (auto const& name : names) {
        // No character outside ASCII lower-cases to a letter of the three names, so ASCII
        // lower-casing accepts exactly what a full Unicode mapping would.
        if (auto source = agentSourceFromRawValue(PawletKit::ASCII::lowercased(name)))
            present[static_cast<size_t>(*source)] = true;
    }
    std::vector<AgentSource> ordered;
    for (AgentSource source : allAgentSources)
        if (present[static_cast<size_t>(source)])
            ordered.push_back(source);
    if (ordered.empty())
        return std::nullopt;
    CollarStyle style { ordered[0], std::nullopt };
    if (ordered.size() > 1)
        style.back = ordered[1];
    return style;
}

std::optional<CollarStyle> CollarStyle::fromSnapshot(PetSnapshot const& snapshot)
{
    return fromSources(snapshot.orderedSources());
}

bool CollarStyle::isTwoTone() const
{
    return back && *back != front;
}

CollarColor CollarStyle::frontColor() const
{
    return CollarPalette::color(front);
}

CollarColor CollarStyle::backColor() const
{
    return back ? CollarPalette::color(*back) : frontColor();
}

}

size_t std::hash<PawletShared::CollarStyle>::operator()(PawletShared::CollarStyle const& style) const noexcept
{
    auto mix = [](size_t seed, size_t value) { return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2)); };
    std::hash<std::string_view> text;
    size_t seed = text(rawValue(style.front));
    seed = mix(seed, style.back ? 1 : 0);
    if (style.back)
        seed = mix(seed, text(rawValue(*style.back)));
    return seed;
}
