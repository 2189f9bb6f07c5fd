#include "shared/PreferredLanguages.hpp"

namespace PawletShared::PreferredLanguages {

namespace {

// Real locale names are short; anything longer is not one.
constexpr size_t maxValueBytes = 1024;
constexpr size_t maxNameBytes = 64;
constexpr size_t maxNames = 32;

std::string const* value(PawletKit::Environment const& environment, char const* name)
{
    auto found = environment.find(name);
    if (found == environment.end() || found->second.empty() || found->second.size() > maxValueBytes)
        return nullptr;
    return &found->second;
}

void add(std::vector<std::string>& names, std::string_view locale)
{
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale.size() > maxNameBytes || locale == "C" || locale == "POSIX" || names.size() >= maxNames)
        return;
    names.emplace_back(locale);
}

}

std::vector<std::string> fromEnvironment(PawletKit::Environment const& environment)
{
    std::vector<std::string> names;
    if (auto const* list = value(environment, "LANGUAGE")) {
        std::string_view rest = *list;
        while (!rest.empty()) {
            size_t colon = rest.find(':');
            add(names, rest.substr(0, colon));
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    for (char const* name : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        if (auto const* locale = value(environment, name)) {
            add(names, *locale);
            break;
        }
    }
    return names;
}

std::vector<std::string> ofSystem() { return fromEnvironment(PawletKit::currentEnvironment()); }

}
