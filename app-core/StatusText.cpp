#include "app-core/StatusText.hpp"

#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/SessionSource.hpp"
#include "platform/ClockText.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace PupnikCore::StatusText {

namespace {

constexpr double secondsPerDay = 86'400;
constexpr std::int64_t maxPercentage = 999;

std::int64_t percentage(double value)
{
    if (std::isnan(value))
        return 0;
    double rounded = std::round(value);
    if (rounded <= 0)
        return 0;
    if (rounded >= double(maxPercentage))
        return maxPercentage;
    return std::int64_t(rounded);
}

double fraction(double value)
{
    if (std::isnan(value))
        return 0;
    return std::clamp(value / 100, 0.0, 1.0);
}

// The reading's parts, five-hour first, each made by `part` from its label key and percentage.
template<typename Part>
std::vector<std::string> quotaParts(PawletKit::QuotaInfo const& quota, std::string_view fiveHourLabel, std::string_view sevenDayLabel, Part part)
{
    std::vector<std::string> parts;
    if (quota.fiveHourUsed)
        parts.push_back(part(fiveHourLabel, percentage(*quota.fiveHourUsed)));
    if (quota.sevenDayUsed)
        parts.push_back(part(sevenDayLabel, percentage(*quota.sevenDayUsed)));
    return parts;
}

std::string joined(std::vector<std::string> const& parts, std::string const& separator)
{
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += separator;
        text += parts[i];
    }
    return text;
}

std::string gaitWord(PawletKit::Gait gait, Localizer const& localizer)
{
    if (gait == PawletKit::Gait::sleep)
        return localizer.string("state.sleep");
    return localizer.string(localizationKey(clip(gait)));
}

std::string stateLine(PawletKit::PawletState const& state, ConnectionState connection, PawletKit::Date now, Localizer const& localizer,
    Platform::TimeZone const& zone, std::optional<std::string_view> waitingApplication)
{
    switch (state.mood) {
    case PawletKit::Mood::hungry:
        return hungryText(state.quota, now, localizer, zone);
    case PawletKit::Mood::happy:
        return localizer.string("state.happy");
    case PawletKit::Mood::poop: {
        if (state.waitingSessions >= 2)
            return localizer.format("state.poop.many", { std::int64_t(state.waitingSessions) });
        auto name = waitingApplication ? PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(*waitingApplication) : std::string_view();
        if (!name.empty())
            return localizer.format("state.poop.app", { std::string(name) });
        return localizer.string("state.poop.one");
    }
    case PawletKit::Mood::normal:
        break;
    }
    if (state.busySessions == 0 && state.knownSessions == 0) {
        if (connection == ConnectionState::notConnected)
            return localizer.string("hint.notConnected");
        if (connection == ConnectionState::connectedNoEvents)
            return localizer.string("hint.waiting");
    }
    // The templates carry their own spacing, so the suffix follows the word directly.
    std::string line = gaitWord(state.gait, localizer);
    if (state.totalSessions() >= 1)
        line += busySuffix(state, localizer);
    return line;
}

}

std::string headline(PawletKit::PawletState const& state, ConnectionState connection, PawletKit::Date now, Localizer const& localizer,
    Platform::TimeZone const& zone, std::optional<std::string_view> waitingApplication)
{
    return stateLine(state, connection, now, localizer, zone, waitingApplication);
}

std::vector<std::string> tooltipLines(PawletKit::PawletState const& state, ConnectionState connection, bool demo, bool discreet,
    PawletKit::Date now, Localizer const& localizer, Platform::TimeZone const& zone, std::optional<std::string_view> waitingApplication)
{
    if (discreet)
        return { localizer.string("app.name") };
    std::vector<std::string> lines;
    std::string first = stateLine(state, connection, now, localizer, zone, waitingApplication);
    lines.push_back(demo ? localizer.string("demo.prefix") + first : first);
    if (auto quota = quotaLine(state.quota, localizer))
        lines.push_back(*quota);
    return lines;
}

std::vector<QuotaBar> quotaBars(PawletKit::PawletState const& state, bool discreet, Localizer const& localizer)
{
    std::vector<QuotaBar> bars;
    if (discreet)
        return bars;
    for (PawletKit::SessionSource source : PawletKit::allSessionSources) {
        std::string name(rawValue(source));
        auto found = state.quotaBySource.find(name);
        if (found == state.quotaBySource.end())
            continue;
        auto const& quota = found->second;
        auto text = quotaBarText(quota, localizer);
        if (!text)
            continue;
        double used = quota.fiveHourUsed ? *quota.fiveHourUsed : quota.sevenDayUsed.value_or(0);
        bars.push_back(QuotaBar { name, fraction(used), *text });
    }
    return bars;
}

bool showsBadge(PawletKit::Mood mood, bool discreet)
{
    return !discreet && (mood == PawletKit::Mood::hungry || mood == PawletKit::Mood::poop);
}

std::optional<std::string> quotaLine(PawletKit::QuotaInfo const& quota, Localizer const& localizer)
{
    auto parts = quotaParts(quota, "quota.fiveHour", "quota.sevenDay", [&](std::string_view labelKey, std::int64_t percent) {
        return localizer.format("quota.part", { localizer.string(labelKey), percent });
    });
    if (parts.empty())
        return std::nullopt;
    return localizer.format("quota.line", { joined(parts, localizer.string("quota.sep")) });
}

std::optional<std::string> quotaBarText(PawletKit::QuotaInfo const& quota, Localizer const& localizer)
{
    auto parts = quotaParts(quota, "quota.bar.fiveHour", "quota.bar.sevenDay", [&](std::string_view labelKey, std::int64_t percent) {
        return localizer.format("quota.bar.part", { percent, localizer.string(labelKey) });
    });
    if (parts.empty())
        return std::nullopt;
    return joined(parts, localizer.string("quota.sep"));
}

std::string resetTime(PawletKit::Date reset, PawletKit::Date now, Platform::TimeZone const& zone)
{
    // A reset already past reads as a clock time too.
    if (reset - now < secondsPerDay)
        return Platform::ClockText::hoursMinutes(reset.secondsSince1970, zone);
    return Platform::ClockText::monthDayHoursMinutes(reset.secondsSince1970, zone);
}

std::string hungryText(PawletKit::QuotaInfo const& quota, PawletKit::Date now, Localizer const& localizer, Platform::TimeZone const& zone)
{
    // The raw reading decides: 99.6 shows as 100 but is not a full window.
    std::string_view windowKey;
    std::optional<PawletKit::Date> reset;
    if (quota.fiveHourUsed && *quota.fiveHourUsed >= 100) {
        windowKey = "quota.fiveHour";
        reset = quota.fiveHourResetsAt;
    } else if (quota.sevenDayUsed && *quota.sevenDayUsed >= 100) {
        windowKey = "quota.sevenDay";
        reset = quota.sevenDayResetsAt;
    } else {
        return localizer.string("state.hungry.generic");
    }
    std::string text = localizer.format("state.hungry.window", { localizer.string(windowKey) });
    if (reset && *reset > now)
        text += localizer.format("state.hungry.resume", { resetTime(*reset, now, zone) });
    return text;
}

std::string busySuffix(PawletKit::PawletState const& state, Localizer const& localizer)
{
    if (!state.hasNonClaudeSessions())
        return localizer.format("busy.suffix", { std::int64_t(state.totalSessions()) });
    std::string suffix;
    for (auto const& name : state.orderedSources()) {
        // Agents beyond the known three have no label of their own: their name stands as it is.
        auto known = PawletKit::sessionSourceFromRawValue(name);
        std::string label = known ? localizer.string(PawletKit::labelKey(*known)) : name;
        suffix += localizer.format("busy.source", { label, std::int64_t(state.sourceCounts.at(name)) });
    }
    return suffix;
}

Clip clip(PawletKit::Gait gait)
{
    switch (gait) {
    case PawletKit::Gait::sleep:
    case PawletKit::Gait::idle:
        return Clip::idle;
    case PawletKit::Gait::stroll:
        return Clip::stroll;
    case PawletKit::Gait::walk:
        return Clip::walk;
    case PawletKit::Gait::run:
        return Clip::run;
    }
    return Clip::idle;
}

}
