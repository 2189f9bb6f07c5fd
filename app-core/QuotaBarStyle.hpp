#pragma once

#include "app-core/QuotaBarColour.hpp"

#include <optional>
#include <string_view>

// The geometry and colour rules of the menu's usage bars, apart from the drawing itself.
namespace PupnikCore::QuotaBarStyle {

inline constexpr double width = 120;
inline constexpr double height = 8;
inline constexpr double cornerRadius = 4;
// A sliver of use still shows as a round dot rather than vanishing.
inline constexpr double minimumFill = 8;

// The fill's width in points over the track; nothing when the track stays empty (0, below 0, not a
// number or infinite).
std::optional<double> fillWidth(double fraction);
// codex green, process gray, every other source (claude among them) orange.
QuotaBarColour colour(std::string_view source);

}
