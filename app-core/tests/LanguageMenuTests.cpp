#include "app-core/LanguageMenu.hpp"
#include "app-core/Localizer.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;

TEST(LanguageMenu, SystemEntryThenLanguagesByNativeName)
{
    Localizer localizer(Language::de, { { Language::de, { { "language.system", "Systemsprache" } } } });
    for (std::optional<Language> choice : { std::optional<Language>(), std::optional<Language>(Language::ja), std::optional<Language>(Language::zhHant) }) {
        auto items = LanguageMenu::items(choice, localizer);
        ASSERT_EQ(items.size(), 29u);
        EXPECT_EQ(items[0], (LanguageMenu::Item { std::nullopt, "Systemsprache", !choice }));
        EXPECT_EQ(items[1].title, "Bahasa Indonesia");
        EXPECT_EQ(items[1].language, Language::id);
        size_t checked = 0;
        for (size_t index = 1; index < items.size(); ++index) {
            EXPECT_EQ(items[index].language, Language::sortedByNativeName()[index - 1]);
            EXPECT_EQ(items[index].title, items[index].language->nativeName());
            if (items[index].checked) {
                ++checked;
                EXPECT_EQ(items[index].language, choice);
            }
        }
        EXPECT_EQ(checked + (items[0].checked ? 1 : 0), 1u);
    }
}

TEST(LanguageMenu, TitleNamesTheLanguageInItsOwnWords)
{
    Localizer german(Language::de, { { Language::de, { { "menu.language", "Sprache" } } } });
    EXPECT_EQ(LanguageMenu::title(Language::de, german), "Sprache (Deutsch)");
    EXPECT_EQ(LanguageMenu::title(Language::zhHant, german), "Sprache (繁體中文)");
    Localizer bare(Language::de, {});
    EXPECT_EQ(LanguageMenu::title(Language::de, bare), "menu.language (Deutsch)");
    EXPECT_EQ(LanguageMenu::items(std::nullopt, bare)[0].title, "language.system");
}
