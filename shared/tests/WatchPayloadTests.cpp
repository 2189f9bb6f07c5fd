#include "shared/WatchPayload.hpp"

#include <gtest/gtest.h>

using namespace PawletShared;

namespace {

PetSnapshot sample()
{
    PetSnapshot snapshot;
    snapshot.gait = Gait::run;
    snapshot.mood = Mood::poop;
    snapshot.intensity = 0.7;
    snapshot.quota.fiveHour = 62;
    snapshot.quota.sevenDay = 18;
    snapshot.sourceCounts = { { "claude", 2 }, { "codex", 1 } };
    snapshot.updatedAt = PawletKit::Date::fromSeconds(1'750'000'000.5);
    snapshot.activeSources = std::vector<std::string> { "claude", "codex" };
    return snapshot;
}

WatchPayload::Data bytes(std::string const& text) { return WatchPayload::Data(text.begin(), text.end()); }

}

TEST(WatchPayload, RoundTripsSettingsAndSnapshot)
{
    struct Case {
        bool showDetails;
        Skin skin;
        std::optional<Language> language;
        bool demo;
    } const cases[] = {
        { true, Skin::pixel, Language::ptBR, false },
        { false, Skin::geo, std::nullopt, true },
        { false, Skin::soft, Language::zhHant, false },
    };
    for (auto const& c : cases) {
        auto message = WatchPayload::make(sample(), c.showDetails, c.skin, c.language, c.demo);
        EXPECT_EQ(message.size(), 5u);
        auto decoded = WatchPayload::decode(message);
        PetSnapshot expected = sample();
        expected.updatedAt = PawletKit::Date::fromSeconds(1'750'000'000);
        EXPECT_EQ(decoded, (WatchPayload::Decoded { expected, c.showDetails, c.skin, c.language, true, c.demo }));
    }
    // No choice travels as an empty code, so the receiver can tell it from silence.
    auto message = WatchPayload::make(sample(), false, Skin::soft, std::nullopt, false);
    EXPECT_EQ(message.at("language"), WatchPayload::Value(std::string()));
}

TEST(WatchPayload, EachKeyIsReadOnItsOwnAndWrongTypesReadAsAbsent)
{
    struct Case {
        char const* name;
        WatchPayload::Message message;
        WatchPayload::Decoded expected;
    } const cases[] = {
        { "empty", {}, {} },
        { "skin in capitals", { { "skin", std::string("Pixel") } }, {} },
        { "details as text", { { "showDetails", std::string("true") }, { "demo", std::int64_t(1) } }, {} },
        { "unknown language", { { "language", std::string("xx") } }, { std::nullopt, std::nullopt, std::nullopt, std::nullopt, true, std::nullopt } },
        { "language as data", { { "language", bytes("de") } }, {} },
        // Not one of our codes: present, but no language.
        { "regional language", { { "language", std::string(" de_de ") } }, { std::nullopt, std::nullopt, std::nullopt, std::nullopt, true, std::nullopt } },
        { "bad snapshot, good rest", { { "snapshot", bytes("{\"gait\": 3}") }, { "demo", true }, { "skin", std::string("ink") } },
            { std::nullopt, std::nullopt, Skin::ink, std::nullopt, false, true } },
        { "snapshot as text", { { "snapshot", std::string(sample().encoded()) } }, {} },
    };
    for (auto const& c : cases)
        EXPECT_EQ(WatchPayload::decode(c.message), c.expected) << c.name;
    auto lenient = WatchPayload::decode({ { "language", std::string(" PT_br ") } });
    EXPECT_EQ(lenient.language, Language(Language::ptBR));
    EXPECT_TRUE(lenient.hasLanguage);
}

TEST(WatchPayload, SnapshotThatCannotBeEncodedIsLeftOut)
{
    PetSnapshot broken = sample();
    broken.quota.fiveHour = std::numeric_limits<double>::quiet_NaN();
    auto message = WatchPayload::make(broken, true, Skin::ink, Language::de, false);
    EXPECT_FALSE(message.contains("snapshot"));
    auto decoded = WatchPayload::decode(message);
    EXPECT_EQ(decoded.snapshot, std::nullopt);
    EXPECT_EQ(decoded.skin, Skin::ink);
    EXPECT_EQ(decoded.language, Language(Language::de));
}
