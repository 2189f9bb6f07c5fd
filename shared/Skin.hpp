#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace PawletShared {

// The drawing styles of the pet; the raw values name the skin folders of a sprite directory, and
// the order is the one in which a library looks for a skin it can serve.
enum class Skin {
    soft,
    pixel,
    ink,
    geo,
};

inline constexpr std::array<Skin, 4> allSkins { Skin::soft, Skin::pixel, Skin::ink, Skin::geo };

std::string_view rawValue(Skin);
std::optional<Skin> skinFromRawValue(std::string_view);

// "skin.soft" and so on: the key of the skin's title in the localisation tables.
std::string localizationKey(Skin);

}
