#include "shared/DiscreetText.hpp"

#include "shared/QuotaInfo.hpp"

#include <algorithm>
#include <cmath>

namespace PawletShared::DiscreetText {

namespace {

bool isKnownSource(std::string_view name) { return std::find(sourceOrder.begin(), sourceOrder.end(), name) != sourceOrder.end(); }

// The known sources first in their order, then the others by name.
template<typename Map>
std::vector<std::string> displayOrder(Map const& map)
{
    std::vector<std::string> order;
    for (auto source : sourceOrder)
        if (map.contains(std::string(source)))
            order.emplace_back(source);
    for (auto const& entry : map)
        if (!isKnownSource(entry.first))
            order.push_back(entry.first);
    return order;
}

std::string fiveHourPart(double value, Localizer const& localizer)
{
    return localizer.format("quota.part", { localizer.string("quota.fiveHour"), percentage(value) });
}

}

int64_t percentage(double value)
{
    if (std::isnan(value))
        return 0;
    double rounded = std::round(value);
    return int64_t(std::clamp(rounded, 0.0, 999.0));
}

std::string statusWord(PetSnapshot const& snapshot, Localizer const& localizer)
{
    switch (snapshot.mood) {
    case Mood::hungry:
        return localizer.string("state.hungry");
    case Mood::happy:
        return localizer.string("state.happy");
    case Mood::poop:
        return localizer.string("state.poop");
    case Mood::normal:
        break;
    }
    return localizer.string("state." + std::string(rawValue(snapshot.gait)));
}

std::optional<std::string> statusWord(PetSnapshot const& snapshot, bool hidden, Localizer const& localizer)
{
    if (hidden)
        return std::nullopt;
    return statusWord(snapshot, localizer);
}

std::vector<StatusDot> dots(PetSnapshot const& snapshot, bool hidden)
{
    if (hidden)
        return {};
    std::map<std::string, int64_t> busy;
    for (auto const& [source, count] : snapshot.sourceCounts)
        if (count >= 1)
            busy.emplace(source, count);
    std::vector<StatusDot> result;
    for (auto const& source : displayOrder(busy))
        result.push_back(StatusDot { source, busy.at(source) });
    return result;
}

std::optional<std::string> statusLine(PetSnapshot const& snapshot, bool hidden, Localizer const& localizer)
{
    if (hidden)
        return std::nullopt;
    std::string line = statusWord(snapshot, localizer);
    auto shown = dots(snapshot, false);
    if (shown.empty())
        return line;
    line += localizer.string("quota.sep");
    for (size_t index = 0; index < shown.size(); ++index) {
        if (index > 0)
            line += ' ';
        line += bullet;
        line += std::to_string(shown[index].count);
    }
    return line;
}

std::optional<std::string> quotaText(PetSnapshot const& snapshot, bool hidden, Localizer const& localizer)
{
    if (hidden)
        return std::nullopt;
    std::vector<std::string> parts;
    if (snapshot.quota.fiveHour)
        parts.push_back(localizer.format("quota.part", { localizer.string("quota.fiveHour"), percentage(*snapshot.quota.fiveHour) }));
    if (snapshot.quota.sevenDay)
        parts.push_back(localizer.format("quota.part", { localizer.string("quota.sevenDay"), percentage(*snapshot.quota.sevenDay) }));
    if (parts.empty())
        return std::nullopt;
    std::string separator = localizer.string("quota.sep");
    std::string text = parts.front();
    for (size_t index = 1; index < parts.size(); ++index)
        text += separator + parts[index];
    return text;
}

std::optional<double> quotaFraction(PetSnapshot const& snapshot, bool hidden)
{
    if (hidden)
        return std::nullopt;
    return QuotaInfo::fraction(snapshot.quota.fiveHour);
}

std::optional<std::string> fiveHourLabel(std::optional<double> percent, bool hidden, Localizer const& localizer)
{
    if (hidden || !percent)
        return std::nullopt;
    return fiveHourPart(*percent, localizer);
}

std::vector<QuotaBarSpec> bars(PetSnapshot const& snapshot, bool hidden, Localizer const& localizer)
{
    std::vector<QuotaBarSpec> result;
    if (snapshot.quotaBySource) {
        for (auto const& source : displayOrder(*snapshot.quotaBySource)) {
            auto const& window = snapshot.quotaBySource->at(source);
            if (!window.fiveHour)
                continue;
            result.push_back(QuotaBarSpec { source, *QuotaInfo::fraction(window.fiveHour),
                hidden ? std::nullopt : std::optional(fiveHourPart(*window.fiveHour, localizer)) });
        }
    }
    if (!result.empty() || !snapshot.quota.fiveHour)
        return result;
    result.push_back(QuotaBarSpec { "claude", *QuotaInfo::fraction(snapshot.quota.fiveHour), fiveHourLabel(snapshot.quota.fiveHour, hidden, localizer) });
    return result;
}

bool needsYou(PetSnapshot const& snapshot, bool hidden) { return !hidden && snapshot.mood == Mood::poop; }

bool showsDetails(bool hidden) { return !hidden; }

bool needsYouEnded(Mood mood, Mood previousMood, bool enabled)
{
    if (mood == Mood::poop)
        return false;
    return enabled && previousMood == Mood::poop;
}

}
