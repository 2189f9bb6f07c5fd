#include "PawletKit/tests/TestSupport.hpp"
#include "app-core/Localized.hpp"
#include "app-core/Localizer.hpp"
#include "app-core/ResourceLocations.hpp"

#include <gtest/gtest.h>
#include <thread>

using namespace PupnikCore;
using List = std::vector<std::string>;

namespace {

Language effective(Localizer const& localizer) { return localizer.language(); }

}

TEST(Localizer, ResolvesOverrideThenChoiceThenSystemThenEnglish)
{
    struct Case {
        std::optional<Language> choice;
        std::optional<Language> launchOverride;
        List preferred;
        Language expected;
    } const cases[] = {
        { std::nullopt, std::nullopt, { "fr-CA", "en-US" }, Language::fr },
        { std::nullopt, std::nullopt, { "he-IL", "ar" }, Language::en },
        { std::nullopt, std::nullopt, {}, Language::en },
        { Language::de, std::nullopt, { "fr-CA" }, Language::de },
        { Language::de, Language::ja, { "fr-CA" }, Language::ja },
        { std::nullopt, Language::ja, {}, Language::ja },
    };
    for (auto const& c : cases) {
        Localizer made(c.choice, c.launchOverride, c.preferred, std::nullopt, std::nullopt);
        EXPECT_EQ(Language::Value(effective(made)), Language::Value(c.expected));
        Localizer configured(std::nullopt, std::nullopt, {}, std::nullopt, std::nullopt);
        configured.configure(c.choice, c.launchOverride, c.preferred);
        EXPECT_EQ(Language::Value(effective(configured)), Language::Value(c.expected));
        EXPECT_EQ(configured.choice(), c.choice);
        EXPECT_EQ(configured.launchOverride(), c.launchOverride);
    }
}

TEST(Localizer, ChoiceFromTheMenuDropsTheLaunchOverride)
{
    Localizer localizer(std::nullopt, std::nullopt, {}, std::nullopt, std::nullopt);
    localizer.configure(Language::de, Language::ja, { "fr" });
    EXPECT_EQ(Language::Value(localizer.language()), Language::ja);

    localizer.setChoice(std::nullopt, { "it-IT" });
    EXPECT_EQ(Language::Value(localizer.language()), Language::it);
    EXPECT_EQ(localizer.launchOverride(), std::nullopt);
    EXPECT_EQ(localizer.choice(), std::nullopt);

    localizer.setChoice(Language::ko, { "it-IT" });
    EXPECT_EQ(Language::Value(localizer.language()), Language::ko);
    EXPECT_EQ(localizer.choice(), Language::ko);
}

TEST(Localizer, LooksUpCurrentThenEnglishThenTheKey)
{
    Localizer::Tables tables {
        { Language::de, { { "a", "Hallo" }, { "b", "  " }, { "s", " padded " } } },
        { Language::en, { { "b", "Hi" }, { "c", "Cee" }, { "e", "\n\t" } } },
    };
    struct Case {
        Language language;
        char const* key;
        std::string expected;
    } const cases[] = {
        { Language::de, "a", "Hallo" },
        { Language::de, "b", "Hi" },
        { Language::de, "c", "Cee" },
        { Language::de, "d", "d" },
        // Found values come back as stored, spaces and all.
        { Language::de, "s", " padded " },
        // Blank in English too: the key.
        { Language::de, "e", "e" },
        { Language::en, "b", "Hi" },
        { Language::en, "a", "a" },
        // A language without a table shows English.
        { Language::ja, "c", "Cee" },
        { Language::ja, "", "" },
    };
    for (auto const& c : cases) {
        Localizer localizer(c.language, tables);
        EXPECT_EQ(localizer.string(c.key), c.expected) << c.language.rawValue() << " " << c.key;
    }
}

TEST(Localizer, FormatsTablesInEveryScriptWithTheirOwnArgumentOrder)
{
    // The same keys with English, German and Japanese templates; translations may reorder arguments.
    Localizer::Tables tables {
        { Language::en,
            { { "update.done.body", "Requests wait up to %lld seconds.\n\nBackup: %@." }, { "quota.part", "%@ %lld%%" },
                { "quota.bar.part", "%lld%% %@" }, { "state.poop.app", "Waiting for you in %@" } } },
        { Language::de, { { "update.done.body", "Anfragen warten bis zu %lld Sekunden.\n\nSicherung: %@." }, { "quota.part", "%@: %lld %%" } } },
        { Language::ja,
            { { "update.done.body", "バックアップ：%2$@\n\n許可の要求は最大%1$lld秒待ちます。" }, { "quota.part", "%1$@ %2$lld%%" },
                { "state.poop.app", "%@であなたを待っています" } } },
    };
    using Arguments = std::vector<PawletShared::TemplateArgument>;
    struct Case {
        Language language;
        char const* key;
        Arguments arguments;
        std::string expected;
    } const cases[] = {
        { Language::en, "update.done.body", { std::int64_t(120), "/home/u/.claude/settings.json.pupnik.bak" },
            "Requests wait up to 120 seconds.\n\nBackup: /home/u/.claude/settings.json.pupnik.bak." },
        { Language::de, "update.done.body", { std::int64_t(120), "/b" }, "Anfragen warten bis zu 120 Sekunden.\n\nSicherung: /b." },
        { Language::ja, "update.done.body", { std::int64_t(120), "/b" }, "バックアップ：/b\n\n許可の要求は最大120秒待ちます。" },
        { Language::en, "quota.part", { "5-hour", std::int64_t(63) }, "5-hour 63%" },
        { Language::de, "quota.part", { "5 Stunden", std::int64_t(63) }, "5 Stunden: 63 %" },
        { Language::ja, "quota.part", { "5時間", std::int64_t(999) }, "5時間 999%" },
        // Missing in German: the English template takes the German call's arguments.
        { Language::de, "quota.bar.part", { std::int64_t(7), "7T" }, "7% 7T" },
        { Language::ja, "state.poop.app", { "Terminal" }, "Terminalであなたを待っています" },
        // A key found nowhere is its own template.
        { Language::ja, "nothing.here", { "x" }, "nothing.here" },
        { Language::en, "100% %@", { "sure" }, "100% sure" },
        // Misuse reaches the screen as text, not as a crash.
        { Language::en, "quota.part", { std::int64_t(63) }, "%@ %lld%" },
        { Language::ja, "update.done.body", {}, "バックアップ：%2$@\n\n許可の要求は最大%1$lld秒待ちます。" },
    };
    for (auto const& c : cases) {
        Localizer localizer(c.language, tables);
        EXPECT_EQ(localizer.format(c.key, c.arguments), c.expected) << c.language.rawValue() << " " << c.key;
    }
}

TEST(Localizer, ReadsTablesFromTheBundleThenTheFolder)
{
    TestSupport::TemporaryDirectory bundle;
    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(bundle.path() / "i18n" / "de.json", R"({"a": "aus dem Paket"})");
    TestSupport::writeFile(folder.path() / "de.json", R"({"a": "aus dem Ordner", "b": "nur im Ordner"})");
    TestSupport::writeFile(folder.path() / "pt-BR.json", R"({"a": "da pasta"})");
    TestSupport::writeFile(folder.path() / "en.json", R"({"a": "A", "b": "B", "c": "C"})");
    // Broken in the bundle: that is the table's last word, the folder is not asked.
    TestSupport::writeFile(bundle.path() / "i18n" / "fr.json", R"({"a": 1})");
    TestSupport::writeFile(folder.path() / "fr.json", R"({"a": "du dossier"})");

    struct Case {
        Language language;
        char const* key;
        std::string expected;
    } const cases[] = {
        { Language::de, "a", "aus dem Paket" },
        { Language::de, "b", "B" },
        { Language::ptBR, "a", "da pasta" },
        { Language::fr, "a", "A" },
        { Language::ja, "c", "C" },
    };
    for (auto const& c : cases) {
        Localizer localizer(c.language, std::nullopt, {}, bundle.path(), folder.path());
        EXPECT_EQ(localizer.string(c.key), c.expected) << c.language.rawValue() << " " << c.key;
    }
    Localizer withoutPlaces(Language::de, std::nullopt, {}, std::nullopt, std::nullopt);
    EXPECT_EQ(withoutPlaces.string("a"), "a");
}

TEST(Localizer, AFileThatIsNotAnObjectOfStringsIsNoTable)
{
    char const* const broken[] = {
        R"({"a": "x", "n": 1})",
        R"({"a": "x", "n": null})",
        R"({"a": "x", "n": {"b": "c"}})",
        R"({"a": "x", "n": ["c"]})",
        R"({"a": "x", "n": true})",
        R"(["a", "x"])",
        R"("a")",
        R"({"a": "x")",
        "{\"a\": \"\xff\xfe\"}",
        "",
        R"({"a": "x"} trailing)",
    };
    for (char const* bytes : broken) {
        TestSupport::TemporaryDirectory folder;
        TestSupport::writeFile(folder.path() / "de.json", bytes);
        TestSupport::writeFile(folder.path() / "en.json", R"({"a": "English"})");
        Localizer localizer(Language::de, std::nullopt, {}, std::nullopt, folder.path());
        EXPECT_EQ(localizer.string("a"), "English") << bytes;
        EXPECT_TRUE(localizer.table(Language::de)->empty()) << bytes;
    }
    // A folder where a table should be is no table either.
    TestSupport::TemporaryDirectory folder;
    std::filesystem::create_directories(folder.path() / "de.json");
    EXPECT_EQ(Localizer(Language::de, std::nullopt, {}, std::nullopt, folder.path()).string("a"), "a");
}

TEST(Localizer, ATableIsReadOnceAndKeptEvenWhenMissing)
{
    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder.path() / "en.json", R"({"a": "first"})");
    Localizer localizer(Language::de, std::nullopt, {}, std::nullopt, folder.path());
    EXPECT_EQ(localizer.string("a"), "first");

    TestSupport::writeFile(folder.path() / "de.json", R"({"a": "zweite"})");
    TestSupport::writeFile(folder.path() / "en.json", R"({"a": "second"})");
    EXPECT_EQ(localizer.string("a"), "first");
    std::filesystem::remove(folder.path() / "en.json");
    EXPECT_EQ(localizer.string("a"), "first");

    // Switching language does not drop what was read; a new localiser reads afresh.
    localizer.setChoice(Language::en, {});
    EXPECT_EQ(localizer.string("a"), "first");
    EXPECT_EQ(Localizer(Language::de, std::nullopt, {}, std::nullopt, folder.path()).string("a"), "zweite");
}

TEST(Localizer, LookupsFromManyThreadsShareOneTable)
{
    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder.path() / "de.json", R"({"a": "Hallo"})");
    TestSupport::writeFile(folder.path() / "en.json", R"({"a": "Hello", "b": "Bee"})");
    Localizer localizer(Language::de, std::nullopt, {}, std::nullopt, folder.path());

    std::vector<std::thread> threads;
    std::vector<int> wrong(8, 0);
    for (size_t index = 0; index < wrong.size(); ++index)
        threads.emplace_back([&, index] {
            for (int round = 0; round < 200; ++round)
                if (localizer.string("a") != "Hallo" || localizer.string("b") != "Bee")
                    ++wrong[index];
        });
    for (auto& thread : threads)
        thread.join();
    for (int count : wrong)
        EXPECT_EQ(count, 0);
    EXPECT_EQ(localizer.table(Language::de).get(), localizer.table(Language::de).get());
}

TEST(Localizer, SharedInstanceFindsTheStagedTables)
{
    ASSERT_TRUE(resourceBundle());
    EXPECT_TRUE(std::filesystem::equivalent(*resourceBundle(), PUPNIK_SHARE_DIR));
    ASSERT_TRUE(localizationFolder());
    EXPECT_TRUE(std::filesystem::equivalent(*localizationFolder(), std::filesystem::path(PUPNIK_SHARE_DIR) / "i18n"));

    Localizer english(Language::en, std::nullopt, {});
    EXPECT_EQ(english.string("app.name"), "Pupnik");
    EXPECT_EQ(english.format("quota.part", { "5-hour", std::int64_t(63) }), "5-hour 63%");
    // Whatever language this machine prefers, every key has a text.
    EXPECT_EQ(localized("app.name"), "Pupnik");
    EXPECT_NE(localized("menu.quit"), "menu.quit");
    EXPECT_EQ(localized("no.such.key"), "no.such.key");
    EXPECT_EQ(localizedFormat("no.such.%@", { "key" }), "no.such.key");
}
