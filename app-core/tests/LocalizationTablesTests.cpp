#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "app-core/Language.hpp"
#include "shared/TemplateFormatter.hpp"

#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

using namespace PupnikCore;
using PawletShared::TemplateFormatter;
using Table = std::map<std::string, std::string>;
using ConversionSet = std::set<std::pair<size_t, TemplateFormatter::ArgumentType>>;

namespace {

std::filesystem::path const sourceFolder = std::filesystem::path(PUPNIK_SOURCE_DIR) / "resources" / "i18n";
std::filesystem::path const stagedFolder = std::filesystem::path(PUPNIK_SHARE_DIR) / "i18n";

// The table of a language as shipped, or a failure saying why it is not one.
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

std::optional<ConversionSet> conversionSet(std::string const& templateText)
{
    auto list = TemplateFormatter::conversions(templateText);
    if (!list)
        return std::nullopt;
    ConversionSet result;
    for (auto const& conversion : *list)
        result.emplace(conversion.argument, conversion.type);
    return result;
}

std::string describe(ConversionSet const& set)
{
    static char const* const names[] = { "string", "integer", "float" };
    std::string text;
    for (auto const& [argument, type] : set)
        text += " #" + std::to_string(argument + 1) + ":" + names[int(type)];
    return text.empty() ? " none" : text;
}

Table const& english()
{
    static Table const table = [] {
        std::string problem;
        auto read = readTable(sourceFolder / "en.json", problem);
        return read ? *read : Table();
    }();
    return table;
}

size_t wordCount(std::string const& text)
{
    size_t words = 0;
    bool inWord = false;
    for (char c : text) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (letter && !inWord)
            ++words;
        inWord = letter;
    }
    return words;
}

}

TEST(LocalizationTables, EnglishIsCompleteAndWellFormed)
{
    ASSERT_FALSE(english().empty());
    for (auto const& [key, text] : english()) {
        EXPECT_FALSE(PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(text).empty()) << key;
        EXPECT_TRUE(TemplateFormatter::conversions(text)) << key << ": " << text;
    }
    // The texts the code asks for by building keys.
    for (char const* key : { "state.run", "state.walk", "state.stroll", "state.idle", "state.hungry", "state.happy", "state.poop",
             "state.sick", "state.sleep", "skin.soft", "skin.pixel", "skin.ink", "skin.geo", "source.claude", "source.codex",
             "source.process", "size.small", "size.medium", "size.large", "menu.language", "language.system", "ok", "app.name" })
        EXPECT_TRUE(english().contains(key)) << key;

    // Notes for translators cover exactly the English keys.
    std::string problem;
    auto notes = readTable(sourceFolder / "en.notes.json", problem);
    ASSERT_TRUE(notes) << problem;
    std::set<std::string> noteKeys, englishKeys;
    for (auto const& entry : *notes)
        noteKeys.insert(entry.first);
    for (auto const& entry : english())
        englishKeys.insert(entry.first);
    EXPECT_EQ(noteKeys, englishKeys);
}

TEST(LocalizationTables, EveryLanguageHasEveryKeyWithTheSameConversions)
{
    ASSERT_FALSE(english().empty());
    for (Language language : Language::allCases()) {
        std::string code(language.rawValue());
        std::string problem;
        auto table = readTable(sourceFolder / (code + ".json"), problem);
        if (!table) {
            ADD_FAILURE() << code << ".json: " << problem;
            continue;
        }
        for (auto const& [key, englishText] : english()) {
            auto found = table->find(key);
            if (found == table->end()) {
                ADD_FAILURE() << code << ".json lacks " << key;
                continue;
            }
            EXPECT_FALSE(PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(found->second).empty()) << code << ": " << key << " is blank";
            auto expected = conversionSet(englishText);
            auto actual = conversionSet(found->second);
            if (!actual) {
                ADD_FAILURE() << code << ": " << key << " has a malformed template: " << found->second;
                continue;
            }
            EXPECT_EQ(*actual, *expected) << code << ": " << key << " takes" << describe(*actual) << " where English takes" << describe(*expected)
                                          << ": " << found->second;
        }
        for (auto const& entry : *table)
            EXPECT_TRUE(english().contains(entry.first)) << code << ".json holds " << entry.first << ", which English does not";
    }
}

TEST(LocalizationTables, EveryTemplateShowsAllItsArguments)
{
    for (Language language : Language::allCases()) {
        std::string problem;
        auto table = readTable(sourceFolder / (std::string(language.rawValue()) + ".json"), problem);
        if (!table)
            continue; // reported by the test above
        for (auto const& [key, englishText] : english()) {
            auto found = table->find(key);
            auto conversions = conversionSet(englishText);
            if (found == table->end() || !conversions || conversions->empty())
                continue;
            std::vector<PawletShared::TemplateArgument> arguments;
            std::vector<std::string> shown;
            for (auto const& [argument, type] : *conversions) {
                if (type == TemplateFormatter::ArgumentType::string)
                    arguments.emplace_back("«" + std::to_string(argument) + "»");
                else if (type == TemplateFormatter::ArgumentType::integer)
                    arguments.emplace_back(std::int64_t(4200 + argument));
                else
                    arguments.emplace_back(2.5);
                shown.push_back(type == TemplateFormatter::ArgumentType::string ? "«" + std::to_string(argument) + "»" : type == TemplateFormatter::ArgumentType::integer ? std::to_string(4200 + argument)
                                                                                                                                                                          : "2.5");
            }
            std::string text = TemplateFormatter::format(found->second, arguments);
            for (auto const& part : shown)
                EXPECT_NE(text.find(part), std::string::npos) << language.rawValue() << ": " << key << " does not show " << part << ": " << text;
        }
    }
}

TEST(LocalizationTables, NoEnglishSentenceIsLeftStanding)
{
    for (Language language : Language::allCases()) {
        if (language == Language::en)
            continue;
        std::string problem;
        auto table = readTable(sourceFolder / (std::string(language.rawValue()) + ".json"), problem);
        if (!table)
            continue;
        for (auto const& [key, englishText] : english()) {
            auto found = table->find(key);
            if (found != table->end() && wordCount(englishText) >= 4) {
                EXPECT_NE(found->second, englishText) << language.rawValue() << ": " << key << " is still English";
            }
        }
    }
}

TEST(LocalizationTables, BuildStagesEveryTableButNotTheNotes)
{
    size_t staged = 0;
    for (auto const& entry : std::filesystem::directory_iterator(sourceFolder)) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".json")
            continue;
        bool isNotes = name.ends_with(".notes.json");
        EXPECT_EQ(std::filesystem::exists(stagedFolder / name), !isNotes) << name;
        if (!isNotes) {
            EXPECT_EQ(TestSupport::readFile(stagedFolder / name), TestSupport::readFile(entry.path())) << name;
            ++staged;
        }
    }
    EXPECT_GE(staged, 1u);
}
