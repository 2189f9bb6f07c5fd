// The shared library's own tables: every language holds exactly the keys the library asks for,
// with the conversions of English, and the build stages them where the library looks. Both the
// library's and the application's tables name things with the words of the language's glossary.
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
#include <regex>
#include <set>

using namespace PawletShared;
using Table = std::map<std::string, std::string>;

namespace {

std::filesystem::path const sourceFolder = std::filesystem::path(PUPNIK_SOURCE_DIR) / "resources" / "i18n-shared";
std::filesystem::path const stagedFolder = std::filesystem::path(PUPNIK_SHARE_DIR) / "PawletShared" / "i18n";
std::filesystem::path const appFolder = std::filesystem::path(PUPNIK_SOURCE_DIR) / "resources" / "i18n";
std::filesystem::path const glossaryFolder = std::filesystem::path(PUPNIK_SOURCE_DIR) / "resources" / "i18n-glossary";

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

// One language's agreed words: the text of every key both tables hold (and of a few the application
// alone holds), how a percentage is written, and the longer texts that must repeat a word.
struct Glossary {
    Table words;
    std::string percentage;
    std::map<std::string, std::vector<std::string>> alsoIn;
};

std::optional<Glossary> readGlossary(std::filesystem::path const& path, std::string& problem)
{
    if (!std::filesystem::is_regular_file(path)) {
        problem = "missing";
        return std::nullopt;
    }
    auto document = nlohmann::json::parse(TestSupport::readFile(path), nullptr, false);
    if (!document.is_object() || !document.contains("words") || !document["words"].is_object() || !document.contains("percentage")
        || !document["percentage"].is_string()) {
        problem = "not an object with \"words\" and \"percentage\"";
        return std::nullopt;
    }
    Glossary glossary;
    for (auto const& [key, value] : document["words"].items()) {
        if (!value.is_string() || value.get<std::string>().empty()) {
            problem = "word for " + key + " is not a text";
            return std::nullopt;
        }
        glossary.words.emplace(key, value.get<std::string>());
    }
    glossary.percentage = document["percentage"].get<std::string>();
    if (glossary.percentage.find("%lld") == std::string::npos || glossary.percentage.find("%%") == std::string::npos) {
        problem = "percentage " + glossary.percentage + " lacks %lld or %%";
        return std::nullopt;
    }
    nlohmann::json const alsoIn = document.contains("alsoIn") ? document["alsoIn"] : nlohmann::json::object();
    if (!alsoIn.is_object()) {
        problem = "alsoIn is not an object";
        return std::nullopt;
    }
    for (auto const& [key, value] : alsoIn.items()) {
        if (!value.is_array() || !glossary.words.contains(key)) {
            problem = "alsoIn of " + key + " is not a list of keys for a glossary word";
            return std::nullopt;
        }
        for (auto const& other : value) {
            if (!other.is_string()) {
                problem = "alsoIn of " + key + " holds a non-text";
                return std::nullopt;
            }
            glossary.alsoIn[key].push_back(other.get<std::string>());
        }
    }
    return glossary;
}

// A template with its integer conversions written without position, so "%2$lld" reads "%lld".
std::string withoutPositions(std::string const& text)
{
    static std::regex const positional("%[0-9]+\\$lld");
    return std::regex_replace(text, positional, "%lld");
}

// A text with its non-breaking spaces shown, which a failure message would hide.
std::string visible(std::string text)
{
    for (size_t at = text.find("\u00a0"); at != std::string::npos; at = text.find("\u00a0", at))
        text.replace(at, 2, "<nbsp>");
    return text;
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

TEST(SharedLocalizationTables, BothTablesFollowTheLanguagesGlossary)
{
    for (Language language : Language::allCases()) {
        std::string code(language.rawValue());
        std::string problem;
        auto glossary = readGlossary(glossaryFolder / (code + ".json"), problem);
        auto shared = readTable(sourceFolder / (code + ".json"), problem);
        auto app = readTable(appFolder / (code + ".json"), problem);
        if (!glossary || !shared || !app) {
            ADD_FAILURE() << code << ": " << problem;
            continue;
        }
        std::map<std::string, Table const*> const tables { { "application", &*app }, { "library", &*shared } };

        // Whatever both tables name is agreed in the glossary, so neither can drift alone.
        for (auto const& [key, text] : *shared)
            if (app->contains(key)) {
                EXPECT_TRUE(glossary->words.contains(key)) << code << ": the glossary lacks " << key << ", which both tables hold";
            }
        for (auto const& [key, word] : glossary->words) {
            bool held = false;
            for (auto const& [name, table] : tables) {
                auto found = table->find(key);
                if (found == table->end())
                    continue;
                held = true;
                EXPECT_EQ(found->second, word) << code << ": the " << name << "'s " << key << " is not the glossary's word";
            }
            EXPECT_TRUE(held) << code << ": the glossary names " << key << ", which no table holds";
        }
        for (auto const& [key, others] : glossary->alsoIn)
            for (auto const& other : others) {
                bool held = false;
                for (auto const& [name, table] : tables) {
                    auto found = table->find(other);
                    if (found == table->end())
                        continue;
                    held = true;
                    EXPECT_NE(found->second.find(glossary->words.at(key)), std::string::npos)
                        << code << ": the " << name << "'s " << other << " does not say " << glossary->words.at(key) << ": " << found->second;
                }
                EXPECT_TRUE(held) << code << ": no table holds " << other;
            }
        // One way of writing a percentage, spaced or not, in every template that shows one.
        for (auto const& [name, table] : tables)
            for (auto const& [key, text] : *table)
                if (text.find("%%") != std::string::npos) {
                    EXPECT_NE(withoutPositions(text).find(glossary->percentage), std::string::npos)
                        << code << ": the " << name << "'s " << key << " writes its percentage otherwise than " << visible(glossary->percentage) << ": " << visible(text);
                }
    }
}
