#include "shared/LaunchOptions.hpp"

#include "PawletKit/ASCII.hpp"
#include "PawletKit/CharacterSets.hpp"

#include <charconv>

namespace PawletShared::LaunchOptions {

namespace {

// No option is longer than a language code or a frame number; a huge value is no option.
constexpr size_t maxValueBytes = 4096;

}

std::optional<std::string> value(std::string_view name, PawletKit::Environment const& environment)
{
    auto found = environment.find(std::string(name));
    if (found == environment.end() || found->second.size() > maxValueBytes)
        return std::nullopt;
    auto trimmed = PawletKit::CharacterSets::trimmingWhitespace(found->second);
    if (trimmed.empty())
        return std::nullopt;
    return std::string(trimmed);
}

bool flag(std::string_view name, PawletKit::Environment const& environment)
{
    auto text = value(name, environment);
    if (!text)
        return false;
    auto lowered = PawletKit::ASCII::lowercased(*text);
    return lowered == "1" || lowered == "true" || lowered == "yes";
}

std::optional<Language> language(PawletKit::Environment const& environment)
{
    auto text = value("PUPNIK_LANG", environment);
    return text ? Language::fromCode(*text) : std::nullopt;
}

bool demo(PawletKit::Environment const& environment) { return flag("PUPNIK_DEMO", environment); }

std::optional<Clip> demoClip(PawletKit::Environment const& environment)
{
    auto text = value("PUPNIK_DEMO_CLIP", environment);
    return text ? clipFromRawValue(*text) : std::nullopt;
}

bool details(PawletKit::Environment const& environment) { return flag("PUPNIK_DETAILS", environment); }

bool settings(PawletKit::Environment const& environment) { return flag("PUPNIK_SETTINGS", environment); }

std::optional<Skin> skin(PawletKit::Environment const& environment)
{
    auto text = value("PUPNIK_SKIN", environment);
    return text ? skinFromRawValue(*text) : std::nullopt;
}

bool languageList(PawletKit::Environment const& environment) { return flag("PUPNIK_LANGLIST", environment); }

std::optional<DemoAgents> demoAgents(PawletKit::Environment const& environment)
{
    auto text = value("PUPNIK_DEMO_AGENTS", environment);
    return text ? demoAgentsFromRawValue(*text) : std::nullopt;
}

bool previewActivity(PawletKit::Environment const& environment) { return flag("PUPNIK_PREVIEW_ACTIVITY", environment); }

std::optional<int64_t> parseFreezeFrame(std::optional<std::string> const& text)
{
    if (!text || text->empty())
        return std::nullopt;
    std::string_view digits = *text;
    bool negative = false;
    if (digits.front() == '+' || digits.front() == '-') {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty())
        return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9')
            return std::nullopt;
    // Parsed with its sign so that the most negative value fits.
    std::string signedText = (negative ? "-" : "") + std::string(digits);
    int64_t result = 0;
    auto [end, error] = std::from_chars(signedText.data(), signedText.data() + signedText.size(), result);
    if (error != std::errc() || end != signedText.data() + signedText.size())
        return std::nullopt;
    return result;
}

std::optional<int64_t> freezeFrame()
{
    static std::optional<int64_t> const frame = parseFreezeFrame(value("PUPNIK_FREEZE_FRAME", PawletKit::currentEnvironment()));
    return frame;
}

}
