#include "app-core/Language.hpp"
#include "app-core/PreferredLanguages.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using List = std::vector<std::string>;

TEST(PreferredLanguages, FromLinuxLocaleVariables)
{
    struct Case {
        PawletKit::Environment environment;
        List expected;
        Language effective;
    } const cases[] = {
        { {}, {}, Language::en },
        { { { "LANG", "zh_TW.UTF-8" } }, { "zh_TW" }, Language::zhHant },
        { { { "LANG", "pt_BR.UTF-8" } }, { "pt_BR" }, Language::ptBR },
        { { { "LANG", "de_DE.ISO-8859-15@euro" } }, { "de_DE" }, Language::de },
        { { { "LANG", "sr_RS@latin" } }, { "sr_RS" }, Language::en },
        { { { "LANG", "C.UTF-8" } }, {}, Language::en },
        { { { "LANG", "POSIX" } }, {}, Language::en },
        { { { "LANG", "es_AR.utf8" } }, { "es_AR" }, Language::esMX },
        // The messages locale is the first of LC_ALL, LC_MESSAGES, LANG that is set; only it counts.
        { { { "LC_ALL", "fr_FR.UTF-8" }, { "LC_MESSAGES", "de_DE.UTF-8" }, { "LANG", "ja_JP.UTF-8" } }, { "fr_FR" }, Language::fr },
        { { { "LC_MESSAGES", "de_DE.UTF-8" }, { "LANG", "ja_JP.UTF-8" } }, { "de_DE" }, Language::de },
        { { { "LC_ALL", "" }, { "LC_MESSAGES", "" }, { "LANG", "ja_JP.UTF-8" } }, { "ja_JP" }, Language::ja },
        { { { "LC_ALL", "C" }, { "LANG", "ja_JP.UTF-8" } }, {}, Language::en },
        // LANGUAGE comes first, in its order; empty pieces and C are skipped.
        { { { "LANGUAGE", "nb_NO:nn::C:en_GB" }, { "LANG", "de_DE.UTF-8" } }, { "nb_NO", "nn", "en_GB", "de_DE" }, Language::no },
        { { { "LANGUAGE", "he:ar" }, { "LANG", "it_IT.UTF-8" } }, { "he", "ar", "it_IT" }, Language::it },
        { { { "LANGUAGE", ":" } }, {}, Language::en },
        // Values no locale could have are ignored.
        { { { "LANG", std::string(5000, 'd') } }, {}, Language::en },
        { { { "LANGUAGE", std::string(100, 'x') + ":ko" } }, { "ko" }, Language::ko },
    };
    for (auto const& c : cases) {
        auto names = PreferredLanguages::fromEnvironment(c.environment);
        EXPECT_EQ(names, c.expected) << ::testing::PrintToString(c.environment);
        EXPECT_EQ(Language::Value(Language::firstMatch(names)), Language::Value(c.effective)) << ::testing::PrintToString(c.environment);
    }
}

TEST(PreferredLanguages, ListStaysBounded)
{
    std::string many;
    for (int index = 0; index < 1000; ++index)
        many += "de:";
    auto names = PreferredLanguages::fromEnvironment({ { "LANGUAGE", many.substr(0, 1000) }, { "LANG", "fr_FR" } });
    EXPECT_LE(names.size(), 32u);
    EXPECT_EQ(names.front(), "de");
}
