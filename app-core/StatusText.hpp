#pragma once

#include "PawletKit/Date.hpp"
#include "PawletKit/Gait.hpp"
#include "PawletKit/Mood.hpp"
#include "PawletKit/PawletState.hpp"
#include "PawletKit/QuotaInfo.hpp"
#include "app-core/Clip.hpp"
#include "app-core/ConnectionState.hpp"
#include "app-core/Localizer.hpp"
#include "app-core/QuotaBar.hpp"
#include "platform/TimeZone.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The words the menu shows for an engine state: the state line, the usage line and bars, and
// whether the icon carries a badge. Pure functions; every text comes through the localiser.
// Percentages are rounded halves away from zero and held to 0...999 (not a number shows 0).
namespace PupnikCore::StatusText {

// The state line, without demo prefix and without regard to the discreet setting. The waiting
// application names where a single waiting session runs; blank counts as absent.
std::string headline(PawletKit::PawletState const& state, ConnectionState connection, PawletKit::Date now, Localizer const& localizer,
    Platform::TimeZone const& zone, std::optional<std::string_view> waitingApplication);

// The menu's status line and, when there is a usage reading, its usage line. Discreet shows only
// the application's name.
std::vector<std::string> tooltipLines(PawletKit::PawletState const& state, ConnectionState connection, bool demo, bool discreet,
    PawletKit::Date now, Localizer const& localizer, Platform::TimeZone const& zone, std::optional<std::string_view> waitingApplication);

// One bar per known source with a usage reading, claude, codex, process; none when discreet.
std::vector<QuotaBar> quotaBars(PawletKit::PawletState const& state, bool discreet, Localizer const& localizer);

bool showsBadge(PawletKit::Mood mood, bool discreet);

// "Usage: 5-hour 63% · 7-day 20%"; nothing without any reading.
std::optional<std::string> quotaLine(PawletKit::QuotaInfo const& quota, Localizer const& localizer);
// "63% 5h · 20% 7d", for a bar; nothing without any reading.
std::optional<std::string> quotaBarText(PawletKit::QuotaInfo const& quota, Localizer const& localizer);

// "HH:mm" for a reset less than a day ahead (or already past), else "M/d HH:mm".
std::string resetTime(PawletKit::Date reset, PawletKit::Date now, Platform::TimeZone const& zone);

// Which window ran out and, when its reset still lies ahead, when it comes back.
std::string hungryText(PawletKit::QuotaInfo const& quota, PawletKit::Date now, Localizer const& localizer, Platform::TimeZone const& zone);

// The session count, or one count per source once any agent but claude has a session.
std::string busySuffix(PawletKit::PawletState const& state, Localizer const& localizer);

Clip clip(PawletKit::Gait gait);

}
