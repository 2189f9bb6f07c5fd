#include "Pupnik/LaunchOptions.hpp"

#include "PawletKit/ASCII.hpp"
#include "PawletKit/CharacterSets.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace Pupnik {

namespace {

std::string_view valueOf(PawletKit::Environment const& environment, std::string_view name)
{
    auto found = environment.find(std::string(name));
    return found == environment.end() ? std::string_view {} : std::string_view(found->second);
}

std::optional<int32_t> parseInt32(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min())
        return std::nullopt;
    return int32_t(value);
}

std::optional<PawletKit::SessionTarget> waitingTarget(PawletKit::Environment const& environment, PawletKit::Date now)
{
    auto sid = valueOf(environment, "PUPNIK_DEBUG_WAITING_SID");
    if (sid.empty())
        return std::nullopt;
    PawletKit::SessionTarget target;
    target.sid = std::string(sid);
    target.source = PawletKit::sessionSourceOf(sid);
    auto pids = valueOf(environment, "PUPNIK_DEBUG_WAITING_PIDS");
    size_t start = 0;
    while (start <= pids.size()) {
        size_t comma = pids.find(',', start);
        auto piece = PawletKit::CharacterSets::trimmingWhitespace(pids.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (auto pid = parseInt32(piece); pid && *pid > 0)
            target.pids.push_back(*pid);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (auto tty = valueOf(environment, "PUPNIK_DEBUG_WAITING_TTY"); !tty.empty())
        target.tty = std::string(tty);
    if (auto cwd = valueOf(environment, "PUPNIK_DEBUG_WAITING_CWD"); !cwd.empty())
        target.cwd = std::string(cwd);
    target.since = now;
    return target;
}

}

std::optional<std::filesystem::path> LaunchOptions::path(std::string_view value, PawletKit::Environment const& environment,
    std::filesystem::path const& workingDirectory)
{
    auto trimmed = std::string(PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(value));
    if (trimmed.empty())
        return std::nullopt;
    std::filesystem::path result;
    if (trimmed == "~" || trimmed.starts_with("~/"))
        result = PawletKit::Paths::homeDirectory(environment) / trimmed.substr(std::min<size_t>(2, trimmed.size()));
    else
        result = trimmed;
    if (result.is_relative())
        result = workingDirectory / result;
    return result.lexically_normal();
}

bool LaunchOptions::flag(std::string_view value)
{
    auto lowered = PawletKit::ASCII::lowercased(value);
    return lowered == "1" || lowered == "true" || lowered == "yes";
}

std::optional<double> LaunchOptions::number(std::string_view value)
{
    // from_chars takes neither a sign "+" nor blanks; the sign is allowed as strtod allows it.
    if (value.size() > 1 && value.front() == '+' && value[1] != '-' && value[1] != '+')
        value.remove_prefix(1);
    if (value.empty())
        return std::nullopt;
    double number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number, std::chars_format::general);
    if (error != std::errc {} || end != value.data() + value.size() || !std::isfinite(number) || number < 0)
        return std::nullopt;
    return number;
}

std::optional<double> LaunchOptions::delayOrFlag(std::string_view value)
{
    auto trimmed = PawletKit::CharacterSets::trimmingWhitespace(value);
    if (trimmed.empty())
        return std::nullopt;
    if (auto seconds = number(trimmed))
        return seconds;
    return flag(trimmed) ? std::optional<double>(3.0) : std::nullopt;
}

std::vector<std::string> LaunchOptions::list(std::string_view value)
{
    std::vector<std::string> result;
    size_t start = 0;
    while (start <= value.size()) {
        size_t comma = value.find(',', start);
        auto piece = PawletKit::CharacterSets::trimmingWhitespace(value.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (!piece.empty())
            result.push_back(PawletKit::ASCII::lowercased(piece));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return result;
}

std::optional<PawletKit::ApprovalDecision> LaunchOptions::decision(std::string_view value)
{
    return PawletKit::ApprovalDecision::fromRawValue(PawletKit::ASCII::lowercased(PawletKit::CharacterSets::trimmingWhitespace(value)));
}

std::optional<PupnikCore::Language> LaunchOptions::languageNamed(std::string_view value)
{
    if (value.empty())
        return std::nullopt;
    if (auto language = PupnikCore::Language::fromCode(value))
        return language;
    return PupnikCore::Language::matching(value);
}

LaunchOptions::LaunchOptions(PawletKit::Environment const& environment, PawletKit::Date now, std::filesystem::path const& workingDirectory)
    : paths(environment)
{
    auto get = [&](std::string_view name) { return valueOf(environment, name); };
    auto pathOf = [&](std::string_view name) { return path(get(name), environment, workingDirectory); };

    claudeSettingsURL = pathOf("PUPNIK_CLAUDE_SETTINGS").value_or(PawletKit::Paths::homeDirectory(environment) / ".claude" / "settings.json");
    language = languageNamed(get("PUPNIK_LANG"));
    debugFocusOnLaunch = delayOrFlag(get("PUPNIK_DEBUG_FOCUS_ON_LAUNCH"));
    debugWaitingTarget = waitingTarget(environment, now);
    demoClip = PupnikCore::clipFromRawValue(PawletKit::ASCII::lowercased(get("PUPNIK_DEMO_STATE")));
    demoSkin = PupnikCore::skinFromRawValue(PawletKit::ASCII::lowercased(get("PUPNIK_DEMO_SKIN")));
    skipOnboarding = flag(get("PUPNIK_SKIP_ONBOARDING"));
    spritesDir = pathOf("PUPNIK_SPRITES_DIR");
    if (auto suite = get("PUPNIK_DEFAULTS_SUITE"); !suite.empty())
        defaultsSuite = std::string(suite);
    debugFrameFile = pathOf("PUPNIK_DEBUG_FRAME_FILE");
    snapshotDir = pathOf("PUPNIK_DEBUG_SNAPSHOT_DIR");
    debugMenuKeys = list(get("PUPNIK_DEBUG_MENU_KEYS"));
    codexSessionsDir = pathOf("PUPNIK_CODEX_SESSIONS_DIR");
    noCloud = flag(get("PUPNIK_NO_CLOUD"));
    debugCloudStatusAfter = number(get("PUPNIK_DEBUG_CLOUD_STATUS_AFTER"));
    noModals = flag(get("PUPNIK_DEBUG_NO_MODALS"));
    debugOpenApprovalOnLaunch = flag(get("PUPNIK_DEBUG_OPEN_APPROVAL_ON_LAUNCH"));
    debugApprove = decision(get("PUPNIK_DEBUG_APPROVE"));
}

LaunchOptions LaunchOptions::fromProcess()
{
    std::error_code error;
    auto workingDirectory = std::filesystem::current_path(error);
    if (error)
        workingDirectory = "/";
    return LaunchOptions(PawletKit::currentEnvironment(), PawletKit::Date::now(), workingDirectory);
}

}
