#pragma once

#include "app-core/Language.hpp"

#include <optional>
#include <string>
#include <vector>

namespace PupnikCore {

class Localizer;

// The entries and the title of the menu's language submenu.
namespace LanguageMenu {

struct Item {
    std::optional<Language> language; // nothing for the entry that follows the system
    std::string title;
    bool checked { false };
    bool operator==(Item const&) const = default;
};

// The system entry first, then every language by native name; the choice carries the check.
std::vector<Item> items(std::optional<Language> choice, Localizer const& localizer);
// "Language (Deutsch)": the submenu's title naming the language in effect.
std::string title(Language language, Localizer const& localizer);

}

}
