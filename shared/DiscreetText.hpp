#pragma once

#include "shared/Localizer.hpp"
#include "shared/Mood.hpp"
#include "shared/PetSnapshot.hpp"
#include "shared/QuotaBarSpec.hpp"
#include "shared/StatusDot.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PawletShared::DiscreetText {

// The small fields companion surfaces show for a snapshot. With hidden set, every text, label and
// dot is withheld; bars keep their fractions so the surface keeps its shape.

inline constexpr std::string_view bullet = "\u25CF";
inline constexpr std::array<std::string_view, 3> sourceOrder { "claude", "codex", "process" };

// "state.hungry", "state.happy", "state.poop", or for a normal mood "state." and the gait.
std::string statusWord(PetSnapshot const& snapshot, Localizer const& localizer);
std::optional<std::string> statusWord(PetSnapshot const& snapshot, bool hidden, Localizer const& localizer);
// Sources with at least one session: claude, codex, process, then the rest by name.
std::vector<StatusDot> dots(PetSnapshot const& snapshot, bool hidden);
// The word, then "quota.sep" and "●<count>" per dot, separated by spaces; no source names.
std::optional<std::string> statusLine(PetSnapshot const& snapshot, bool hidden, Localizer const& localizer);
// The five-hour and seven-day parts that are known, joined by "quota.sep".
std::optional<std::string> quotaText(PetSnapshot const& snapshot, bool hidden, Localizer const& localizer);
// The five-hour use as a bar fraction, 0 to 1.
std::optional<double> quotaFraction(PetSnapshot const& snapshot, bool hidden);
// One bar per agent with a five-hour reading, else one "claude" bar of the overall reading.
std::vector<QuotaBarSpec> bars(PetSnapshot const& snapshot, bool hidden, Localizer const& localizer);
std::optional<std::string> fiveHourLabel(std::optional<double> percent, bool hidden, Localizer const& localizer);

bool needsYou(PetSnapshot const& snapshot, bool hidden);
bool showsDetails(bool hidden);
// The waiting has just ended: the mood left poop while the caller asks to be told.
bool needsYouEnded(Mood mood, Mood previousMood, bool enabled);

// A percentage as shown: rounded half away from zero, within 0...999 (not a number shows 0).
int64_t percentage(double value);

}
