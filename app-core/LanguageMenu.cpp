#include "app-core/LanguageMenu.hpp"

#include "app-core/Localizer.hpp"

namespace PupnikCore::LanguageMenu {

std::vector<Item> items(std::optional<Language> choice, Localizer const& localizer)
{
    std::vector<Item> result;
    result.push_back(Item { std::nullopt, localizer.string("language.system"), !choice });
    for (Language language : Language::sortedByNativeName())
        result.push_back(Item { language, std::string(language.nativeName()), choice == language });
    return result;
}

std::string title(Language language, Localizer const& localizer)
{
    return localizer.string("menu.language") + " (" + std::string(language.nativeName()) + ")";
}

}
