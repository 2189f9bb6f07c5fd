// The shared library's own tables: every language holds exactly the keys the library asks for,
// with the conversions of English, and the build stages them where the library looks.
#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "shared/AgentSource.hpp"
#include "shared/Gait.hpp"
#include "shared/Language.hpp"
#include "shared/Mood.hpp"
#include "shared/Skin.hpp"
#include "shared/TemplateFormatter.hpp"

#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

using namespace PawletShared;
using Table = std::map<std::string, std::string>;

namespace {

std::filesystem::path const sourceFolder = std::filesystem::path(PUPNIK_SOURCE_DIR) / "resources" / "i18n-shared";
std::filesystem::path const stagedFolder = std::filesystem::path(PUPNIK_SHARE_DIR) / "PawletShared" / "i18n";

std::optional<Table> readTable(std::filesystem::path const& path, std::string& problem)
{
    if (!std::filesystem::is_regular_file(path)) {
        problem = "missing";
        return std::nullopt;
    }
    auto document = nlohmann::json::parse(TestSupport::readFile(path), nullptr, false);
    if (!document.is_object()) {
        problem = "not a JSON object";
        return std::nullopt;
    }
    Table table;
    for (auto const& [key, value] : document.items()) {
        if (!value.is_string()) {
            problem = "value of " + key + " is not a string";
            return std::nullopt;
        }
        table.emplace(key, value.get<std::string>());
    }
    return table;
}

// Every key the shared library looks up or names for its displays.
std::set<std::string> keysInUse()
{
    std::set<std::string> keys { "app.name", "needs.you", "quota.fiveHour", "quota.sevenDay", "quota.part", "quota.sep" };
    for (Gait gait : allGaits)
        keys.insert("state." + std::string(rawValue(gait)));
    for (Mood mood : allMoods)
        if (mood != Mood::normal)
            keys.insert("state." + std::string(rawValue(mood)));
    for (Skin skin : allSkins)
        keys.insert(localizationKey(skin));
    for (AgentSource source : allAgentSources)
        keys.insert(labelKey(source));
    return keys;
}

std::optional<std::multiset<std::pair<size_t, TemplateFormatter::ArgumentType>>> conversions(std::string const& text)
{
    auto list = TemplateFormatter::conversions(text);
    if (!list)
        return std::nullopt;
    std::multiset<std::pair<size_t, TemplateFormatter::ArgumentType>> result;
    for (auto const& conversion : *list)
        result.emplace(conversion.argument, conversion.type);
    return result;
}

}

TEST(SharedLocalizationTables, EveryLanguageHoldsExactlyTheKeysInUseWithEnglishConversions)
{
    std::string problem;
    auto english = readTable(sourceFolder / "en.json", problem);
    ASSERT_TRUE(english) << problem;
    auto wanted = keysInUse();
    for (Language language : Language::allCases()) {
        std::string code(language.rawValue());
        auto table = readTable(sourceFolder / (code + ".json"), problem);
        if (!table) {
            ADD_FAILURE() << code << ".json: " << problem;
            continue;
        }
        std::set<std::string> keys;
        for (auto const& [key, text] : *table) {
            keys.insert(key);
            EXPECT_FALSE(PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(text).empty()) << code << ": " << key;
            auto expected = conversions(english->count(key) ? english->at(key) : std::string());
            auto actual = conversions(text);
            ASSERT_TRUE(actual) << code << ": " << key << " is malformed: " << text;
            EXPECT_EQ(actual, expected) << code << ": " << key << ": " << text;
        }
        EXPECT_EQ(keys, wanted) << code;
    }
}

TEST(SharedLocalizationTables, TemplatesShowTheirArgumentsAndTranslationsAreNotEnglish)
{
    std::string problem;
    auto english = readTable(sourceFolder / "en.json", problem);
    ASSERT_TRUE(english) << problem;
    // Names stay names; every other text is the language's own.
    std::set<std::string> const names { "app.name", "source.claude", "source.codex", "quota.sep", "quota.part" };
    // Words that several languages spell as English does.
    std::set<std::string> const sharedWords { "Pixel", "Geometric" };
    for (Language language : Language::allCases()) {
        auto table = readTable(sourceFolder / (std::string(language.rawValue()) + ".json"), problem);
        if (!table)
            continue; // reported above
        std::string part = TemplateFormatter::format(table->at("quota.part"), { std::string("«5h»"), std::int64_t(63) });
        EXPECT_NE(part.find("«5h»"), std::string::npos) << language.rawValue() << ": " << part;
        EXPECT_NE(part.find("63"), std::string::npos) << language.rawValue() << ": " << part;
        EXPECT_NE(part.find('%'), std::string::npos) << language.rawValue() << ": " << part;
        if (language == Language::en)
            continue;
        for (auto const& [key, text] : *table)
            if (!names.contains(key) && !sharedWords.contains(text)) {
                EXPECT_NE(text, english->at(key)) << language.rawValue() << ": " << key << " is still English";
            }
    }
}

TEST(SharedLocalizationTables, BuildStagesEveryTableWhereTheLibraryLooks)
{
    for (Language language : Language::allCases()) {
        std::string name = std::string(language.rawValue()) + ".json";
        ASSERT_TRUE(std::filesystem::exists(stagedFolder / name)) << name;
        EXPECT_EQ(TestSupport::readFile(stagedFolder / name), TestSupport::readFile(sourceFolder / name)) << name;
    }
}
