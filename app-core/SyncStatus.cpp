#include "app-core/SyncStatus.hpp"

#include "PawletKit/ASCII.hpp"
#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/Text.hpp"
#include "platform/ClockText.hpp"

#include <algorithm>
#include <cmath>

namespace PupnikCore {

namespace {

constexpr double secondsPerDay = 86'400;

// Every run of blanks and line breaks becomes one space.
std::string collapsingWhitespace(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    bool inRun = false;
    size_t at = 0;
    while (at < text.size()) {
        size_t length = 1;
        char32_t codePoint = PawletKit::CharacterSets::codePointAt(text, at, length);
        if (PawletKit::CharacterSets::isWhitespaceOrNewline(codePoint)) {
            if (!inRun)
                result += ' ';
            inRun = true;
        } else {
            result.append(text.substr(at, length));
            inRun = false;
        }
        at += length;
    }
    return result;
}

bool matchesIgnoringCase(std::string_view text, size_t at, std::string_view name)
{
    return PawletKit::ASCII::equalIgnoringCase(text.substr(at, name.size()), name);
}

// The names are ASCII, so a match can never begin or end inside a multi-byte character.
std::string replacingIgnoringCase(std::string_view text, std::string_view name, std::string_view replacement)
{
    std::string result;
    result.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        if (matchesIgnoringCase(text, at, name)) {
            result += replacement;
            at += name.size();
        } else {
            result += text[at++];
        }
    }
    return result;
}

}

std::string SyncStatus::menuText(std::optional<SyncStatus> const& status, bool syncOn, PawletKit::Date now, Localizer const& localizer,
    Platform::TimeZone const& zone)
{
    if (!status)
        return localizer.string("sync.status.off");
    // Turning sync on would not help here, so the setting does not hide it.
    if (status->kind() == Kind::disabledNoEntitlement)
        return localizer.string("sync.status.noEntitlement");
    if (!syncOn)
        return localizer.string("sync.status.off");
    switch (status->kind()) {
    case Kind::error:
        return localizer.format("sync.status.error", { cleanMessage(status->message(), menuMessageLimit) });
    case Kind::ready:
        if (status->lastPublished())
            return localizer.format("sync.status.synced", { timeText(*status->lastPublished(), now, zone) });
        return localizer.string("sync.status.pending");
    case Kind::noAccount:
        return localizer.string("sync.status.noAccount");
    case Kind::disabledNoEntitlement:
        break;
    }
    return localizer.string("sync.status.noEntitlement");
}

std::string SyncStatus::cleanMessage(std::string_view message, std::int64_t limit)
{
    std::string text = collapsingWhitespace(PawletKit::Text::replacingInvalidUTF8(message));
    text = std::string(PawletKit::CharacterSets::trimmingWhitespace(text));
    for (auto name : agentProductNames)
        text = replacingIgnoringCase(text, name, "agent");
    if (text.empty())
        return "?";
    size_t const characters = size_t(std::max<std::int64_t>(limit, 1));
    if (PawletKit::Text::characterCount(text) <= characters)
        return text;
    return PawletKit::Text::prefix(text, characters - 1) + "\u2026";
}

std::string SyncStatus::timeText(PawletKit::Date instant, PawletKit::Date now, Platform::TimeZone const& zone)
{
    // A publish time slightly ahead of the clock (skew) still reads as today's.
    if (std::fabs(instant - now) < secondsPerDay)
        return Platform::ClockText::hoursMinutes(instant.secondsSince1970, zone);
    return Platform::ClockText::monthDayHoursMinutes(instant.secondsSince1970, zone);
}

}
