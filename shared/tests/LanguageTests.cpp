#include "shared/Language.hpp"

#include <gtest/gtest.h>
#include <ostream>
#include <set>
#include <string>

using PawletShared::Language;

namespace PawletShared {
static void PrintTo(Language language, std::ostream* out) { *out << language.rawValue(); }
}

TEST(Language, CodesAndNativeNames)
{
    struct Case {
        Language language;
        char const* code;
        char const* nativeName;
    } const cases[] = {
        { Language::cs, "cs", "Čeština" },
        { Language::el, "el", "Ελληνικά" },
        { Language::en, "en", "English" },
        { Language::esMX, "es-MX", "Español (México)" },
        { Language::hi, "hi", "हिन्दी" },
        { Language::no, "no", "Norsk" },
        { Language::ptBR, "pt-BR", "Português (Brasil)" },
        { Language::vi, "vi", "Tiếng Việt" },
        { Language::zhHans, "zh-Hans", "简体中文" },
        { Language::zhHant, "zh-Hant", "繁體中文" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(c.language.rawValue(), c.code);
        EXPECT_EQ(c.language.nativeName(), c.nativeName);
    }

    auto const& all = Language::allCases();
    ASSERT_EQ(all.size(), 28u);
    std::set<std::string_view> codes;
    for (size_t index = 0; index < all.size(); ++index) {
        EXPECT_EQ(size_t(Language::Value(all[index])), index);
        EXPECT_EQ(Language::fromRawValue(all[index].rawValue()), all[index]);
        codes.insert(all[index].rawValue());
    }
    EXPECT_EQ(codes.size(), 28u);
    // The raw value is exact: no case folding, no underscores, no bare base languages.
    for (char const* text : { "zh-hans", "pt_BR", "PT-BR", " de", "zh", "" })
        EXPECT_EQ(Language::fromRawValue(text), std::nullopt) << text;
}

TEST(Language, FromCodeIsLenientAboutSpellingOnly)
{
    struct Case {
        char const* text;
        std::optional<Language> expected;
    } const cases[] = {
        { "pt_br", Language::ptBR },
        { "  PT-BR \n", Language::ptBR },
        { "pt-BR", Language::ptBR },
        { "zh-hant", Language::zhHant },
        { "ZH_hans", Language::zhHans },
        { "es-mx", Language::esMX },
        { "de", Language::de },
        { "\tNO", Language::no },
        { "en-US", std::nullopt },
        { "pt", std::nullopt },
        { "zh", std::nullopt },
        { "", std::nullopt },
        { "   ", std::nullopt },
        { "english", std::nullopt },
        { "d e", std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(Language::fromCode(c.text), c.expected) << '"' << c.text << '"';
    EXPECT_EQ(Language::fromCode(std::string(100'000, 'a')), std::nullopt);
}

TEST(Language, MatchingSystemIdentifiers)
{
    struct Case {
        char const* identifier;
        std::optional<Language> expected;
    } const cases[] = {
        // Chinese: the script wins over the region, the region over the base.
        { "zh-Hant-TW", Language::zhHant },
        { "zh-HK", Language::zhHant },
        { "zh_TW", Language::zhHant },
        { "zh-MO", Language::zhHant },
        { "zh-CN", Language::zhHans },
        { "zh", Language::zhHans },
        { "cmn", Language::zhHans },
        { "yue", Language::zhHant },
        { "yue-Hans", Language::zhHans },
        { "zh-Hans-TW", Language::zhHans },
        { "zh-Hant-CN", Language::zhHant },
        { "cmn-Hant", Language::zhHant },
        // Portuguese is always Brazilian.
        { "pt-PT", Language::ptBR },
        { "pt", Language::ptBR },
        { "pt_BR", Language::ptBR },
        // Spanish: Latin-American regions, by letters or by number.
        { "es-419", Language::esMX },
        { "es-US", Language::esMX },
        { "es_MX", Language::esMX },
        { "es-Latn-MX", Language::esMX },
        { "es-AR", Language::esMX },
        { "es-ES", Language::es },
        { "es", Language::es },
        { "es-150", Language::es },
        { "es-GQ", Language::es },
        // A piece that is neither script nor region is passed over.
        { "es-valencia-MX", Language::esMX },
        { "nb-NO", Language::no },
        { "nn", Language::no },
        { "no", Language::no },
        { "in-ID", Language::id },
        { "id", Language::id },
        { "EN_us", Language::en },
        { "en-GB", Language::en },
        { "fr-CA", Language::fr },
        { "sv-FI", Language::sv },
        { "uk-UA", Language::uk },
        { " de-DE\n", Language::de },
        { "de--DE", Language::de },
        // Nothing to match.
        { "he", std::nullopt },
        { "fil", std::nullopt },
        { "", std::nullopt },
        { " ", std::nullopt },
        { "-", std::nullopt },
        { "_", std::nullopt },
        { "english", std::nullopt },
        { "C", std::nullopt },
        { "zh-Hans", Language::zhHans },
    };
    for (auto const& c : cases)
        EXPECT_EQ(Language::matching(c.identifier), c.expected) << '"' << c.identifier << '"';
    EXPECT_EQ(Language::matching("de-" + std::string(100'000, 'x')), std::nullopt);
}

TEST(Language, SpanishOfTheAmericasIsMexicanSpanish)
{
    // Latin America by number, the United States, and each country of the Americas whose Spanish is
    // closer to Mexico's; Spanish anywhere else, Spain's.
    char const* const american[] = { "419", "MX", "US", "AR", "BO", "CL", "CO", "CR", "CU", "DO", "EC", "GT", "HN", "NI", "PA", "PE",
        "PR", "PY", "SV", "UY", "VE" };
    char const* const elsewhere[] = { "ES", "GQ", "PH", "IC", "EA", "AD", "150", "001" };
    for (auto const* region : american) {
        EXPECT_EQ(Language::matching(std::string("es-") + region), Language::esMX) << region;
        EXPECT_EQ(Language::matching(std::string("es_Latn_") + region), Language::esMX) << region;
    }
    for (auto const* region : elsewhere)
        EXPECT_EQ(Language::matching(std::string("es-") + region), Language::es) << region;
}

TEST(Language, FirstMatchTakesTheFirstIdentifierThatMaps)
{
    using List = std::vector<std::string>;
    struct Case {
        List identifiers;
        Language expected;
    } const cases[] = {
        { { "fr-CA", "en-US" }, Language::fr },
        { { "he-IL", "ar" }, Language::en },
        { {}, Language::en },
        { { "he-IL", "", "nb_NO", "de" }, Language::no },
        { { "zh_TW", "ja" }, Language::zhHant },
        { { "tlh", "ko-KR" }, Language::ko },
    };
    for (auto const& c : cases)
        EXPECT_EQ(Language::firstMatch(c.identifiers), c.expected) << ::testing::PrintToString(c.identifiers);
}

TEST(Language, SortedByNativeNameAsEnglishCollationSortsThem)
{
    std::vector<Language> expected { Language::id, Language::ms, Language::cs, Language::da, Language::de, Language::en,
        Language::es, Language::esMX, Language::fr, Language::it, Language::nl, Language::no, Language::pl, Language::ptBR,
        Language::ro, Language::fi, Language::sv, Language::vi, Language::tr, Language::el, Language::ru, Language::uk,
        Language::hi, Language::th, Language::ko, Language::ja, Language::zhHans, Language::zhHant };
    EXPECT_EQ(Language::sortedByNativeName(), expected);
}
