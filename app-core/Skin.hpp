#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace PupnikCore {

// The pet's drawing styles as the application's settings and menu know them; the order is the menu's.
enum class Skin {
    soft,
    pixel,
    ink,
    geo,
};

inline constexpr std::array<Skin, 4> allSkins { Skin::soft, Skin::pixel, Skin::ink, Skin::geo };

std::string_view rawValue(Skin);
std::optional<Skin> skinFromRawValue(std::string_view);

// "skin.soft" and so on: the key of the skin's title.
std::string localizationKey(Skin);

}
