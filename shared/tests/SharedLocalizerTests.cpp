#include "PawletKit/tests/TestSupport.hpp"
#include "platform/MemoryDefaultsStore.hpp"
#include "shared/Localizer.hpp"
#include "shared/SharedStore.hpp"

#include <gtest/gtest.h>
#include <thread>

using namespace PawletShared;
using List = std::vector<std::string>;

namespace {

class SharedLocalizerTest : public ::testing::Test {
protected:
    // Never the user's own suite: a test's store is dropped for a fresh one afterwards.
    void SetUp() override { SharedStore::setDefaults(m_store); }
    void TearDown() override { SharedStore::setDefaults(std::make_shared<Platform::MemoryDefaultsStore>()); }

    Platform::MemoryDefaultsStore& store() { return *m_store; }

    // A bundle folder holding the given tables as i18n/<code>.json.
    std::filesystem::path bundle(std::map<std::string, std::string> const& files)
    {
        for (auto const& [code, text] : files)
            TestSupport::writeFile(m_folder.path() / "i18n" / (code + ".json"), text);
        return m_folder.path();
    }

private:
    std::shared_ptr<Platform::MemoryDefaultsStore> m_store = std::make_shared<Platform::MemoryDefaultsStore>();
    TestSupport::TemporaryDirectory m_folder;
};

Language::Value value(Language language) { return language; }

}

TEST_F(SharedLocalizerTest, SharedInstanceStartsOnOverrideThenStoredChoiceThenSystem)
{
    struct Case {
        std::optional<std::string> stored;
        std::optional<std::string> environment;
        List preferred;
        Language expectedLanguage;
        std::optional<Language> expectedChoice;
    } const cases[] = {
        { "de", std::nullopt, { "fr-FR" }, Language::de, Language::de },
        { "de", "ja", { "fr-FR" }, Language::ja, Language::de },
        { "PT_br", std::nullopt, {}, Language::ptBR, Language::ptBR },
        { "klingon", std::nullopt, { "it-IT" }, Language::it, std::nullopt },
        // A system identifier is no override here, unlike the application's launch option.
        { std::nullopt, "en-US", { "fr-FR" }, Language::fr, std::nullopt },
        { std::nullopt, "  ", {}, Language::en, std::nullopt },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.stored.value_or("(none)") + " / " + c.environment.value_or("(none)"));
        store().remove("settings.language");
        if (c.stored)
            store().set("settings.language", *c.stored);
        PawletKit::Environment environment;
        if (c.environment)
            environment["PUPNIK_LANG"] = *c.environment;
        auto localizer = Localizer::makeShared(environment, c.preferred, std::nullopt);
        EXPECT_EQ(value(localizer->language()), value(c.expectedLanguage));
        EXPECT_EQ(localizer->choice(), c.expectedChoice);
        EXPECT_TRUE(localizer->persists());
    }
    // An unknown stored code stays as it is until the next choice is stored.
    EXPECT_EQ(store().object("settings.language"), std::nullopt);
    store().set("settings.language", "klingon");
    auto localizer = Localizer::makeShared({}, {}, std::nullopt);
    EXPECT_EQ(store().string("settings.language"), "klingon");
}

TEST_F(SharedLocalizerTest, ChoiceReplacesTheOverrideAndIsStored)
{
    store().set("settings.language", "de");
    auto localizer = Localizer::makeShared({ { "PUPNIK_LANG", "ja" } }, {}, std::nullopt);
    // Each change as (language when told, new language): observers hear before it takes effect.
    std::vector<std::pair<Language::Value, Language::Value>> heard;
    localizer->addObserver([&](Language next) { heard.emplace_back(localizer->language(), next); });

    localizer->setChoice(std::nullopt, { "fr-FR" });
    EXPECT_EQ(value(localizer->language()), Language::fr);
    EXPECT_EQ(localizer->choice(), std::nullopt);
    EXPECT_FALSE(store().contains("settings.language"));
    EXPECT_EQ(heard, (std::vector<std::pair<Language::Value, Language::Value>> { { Language::ja, Language::fr } }));

    // The effective language again: stored, but nobody is told.
    localizer->setChoice(Language::fr, {});
    EXPECT_EQ(store().string("settings.language"), "fr");
    EXPECT_EQ(heard.size(), 1u);

    localizer->setChoice(Language::zhHans, {});
    EXPECT_EQ(store().string("settings.language"), "zh-Hans");
    EXPECT_EQ(heard.back(), std::make_pair(Language::fr, Language::zhHans));
}

TEST_F(SharedLocalizerTest, DirectLanguageChangeLeavesChoiceAndStoreAlone)
{
    Localizer localizer(Language::de, std::nullopt, {}, std::nullopt, true);
    size_t calls = 0;
    size_t token = localizer.addObserver([&](Language) { ++calls; });
    localizer.setLanguage(Language::ko);
    EXPECT_EQ(value(localizer.language()), Language::ko);
    EXPECT_EQ(localizer.choice(), Language(Language::de));
    EXPECT_TRUE(store().dictionary().empty());
    EXPECT_EQ(calls, 1u);

    localizer.removeObserver(token);
    localizer.setLanguage(Language::en);
    EXPECT_EQ(calls, 1u);
}

TEST_F(SharedLocalizerTest, NonPersistingLocalizerNeverWritesTheStore)
{
    Localizer localizer(std::nullopt, std::nullopt, { "sv-SE" }, std::nullopt, false);
    EXPECT_EQ(value(localizer.language()), Language::sv);
    localizer.setChoice(Language::nl, {});
    localizer.setChoice(std::nullopt, {});
    EXPECT_TRUE(store().dictionary().empty());
    EXPECT_EQ(value(localizer.language()), Language::en);
}

TEST_F(SharedLocalizerTest, FollowingInstanceTakesUpAChoiceStoredElsewhere)
{
    Localizer& following = Localizer::followingSettings();
    EXPECT_FALSE(following.persists());
    store().set("settings.language", "ko");
    auto before = store().dictionary();
    Localizer& fetched = Localizer::followingSettings();
    EXPECT_EQ(&fetched, &following);
    EXPECT_EQ(fetched.choice(), Language(Language::ko));
    EXPECT_EQ(value(fetched.language()), Language::ko);
    EXPECT_EQ(store().dictionary(), before);

    store().set("settings.language", "da");
    EXPECT_EQ(value(Localizer::followingSettings().language()), Language::da);
}

TEST_F(SharedLocalizerTest, LooksUpCurrentThenEnglishThenTheKey)
{
    auto folder = bundle({
        { "en", R"({"a": "A", "b": "B", "blank": "x", "f": "%@ at %lld%%"})" },
        { "de", R"({"a": " Ä ", "blank": "  \n", "f": "%1$@ bei %2$lld %%"})" },
        { "fr", R"({"a": 1})" },
        { "it", "not json" },
    });
    Localizer localizer(Language::de, std::nullopt, {}, folder, false);
    EXPECT_EQ(localizer.string("a"), " Ä ");
    EXPECT_EQ(localizer.string("b"), "B");
    EXPECT_EQ(localizer.string("blank"), "x");
    EXPECT_EQ(localizer.string("missing"), "missing");
    EXPECT_EQ(localizer.format("f", { std::string("5 Stunden"), std::int64_t(63) }), "5 Stunden bei 63 %");

    // A table with a value that is not a string, or no JSON at all, is no table.
    for (Language broken : { Language(Language::fr), Language(Language::it) }) {
        localizer.setLanguage(broken);
        EXPECT_EQ(localizer.string("a"), "A");
        EXPECT_TRUE(localizer.table(broken)->empty());
    }

    // A table once read is kept.
    auto first = localizer.table(Language::de);
    TestSupport::writeFile(folder / "i18n" / "de.json", R"({"a": "changed"})");
    EXPECT_EQ(localizer.table(Language::de), first);
}

TEST_F(SharedLocalizerTest, WithoutBundleEveryKeyIsItselfAndFixedTablesReadNoFile)
{
    Localizer bare(Language::de, std::nullopt, {}, std::nullopt, false);
    EXPECT_EQ(bare.string("state.walk"), "state.walk");

    auto folder = bundle({ { "de", R"({"k": "aus der Datei"})" } });
    Localizer fixed(Language::de, { { Language::de, { { "k", "fest" } } }, { Language::en, { { "e", "english" } } } }, folder);
    EXPECT_EQ(fixed.string("k"), "fest");
    EXPECT_EQ(fixed.string("e"), "english");
    EXPECT_EQ(fixed.choice(), Language(Language::de));
    EXPECT_FALSE(fixed.persists());
    fixed.setLanguage(Language::fr);
    EXPECT_EQ(fixed.string("k"), "k");
}

TEST_F(SharedLocalizerTest, TablesLoadOnceUnderConcurrentLookups)
{
    auto folder = bundle({ { "de", R"({"k": "Wert"})" }, { "en", R"({"k": "value"})" } });
    Localizer localizer(Language::de, std::nullopt, {}, folder, false);
    std::vector<std::thread> threads;
    std::vector<std::shared_ptr<Localizer::Table const>> seen(8);
    for (size_t index = 0; index < seen.size(); ++index)
        threads.emplace_back([&, index] { seen[index] = localizer.table(Language::de); });
    for (auto& thread : threads)
        thread.join();
    for (auto const& table : seen)
        EXPECT_EQ(table, seen.front());
    EXPECT_EQ(localizer.string("k"), "Wert");
}

TEST(SharedLocalizer, ResourceBundleIsTheInstalledSharedFolder)
{
    ASSERT_TRUE(resourceBundle());
    EXPECT_EQ(*resourceBundle(), std::filesystem::path(PUPNIK_SHARE_DIR) / "PawletShared");
    Localizer german(Language::de, std::nullopt, {}, resourceBundle(), false);
    EXPECT_EQ(german.string("state.walk"), "Trabt");
}
