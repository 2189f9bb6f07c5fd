#include "PawletKit/tests/TestSupport.hpp"
#include "app-core/Skin.hpp"
#include "app-core/SpriteManifest.hpp"
#include "shared/DecodingError.hpp"
#include "shared/SpriteManifest.hpp"

#include <gtest/gtest.h>

#include <system_error>

using namespace PupnikCore;
using PawletKit::JSON::Value;

namespace {

Value manifestWithStates(Value states)
{
    Value root = PawletKit::JSON::parse(R"({"version": 1, "box": {"w": 135, "h": 100}, "logicalHeight": 120, "scale": 2,
        "skins": ["soft", "pixel", "ink", "geo"], "facing": "right"})");
    root["states"] = std::move(states);
    return root;
}

}

TEST(CoreSkin, RawValuesAndTitleKeys)
{
    std::string_view const raws[] = { "soft", "pixel", "ink", "geo" };
    for (size_t i = 0; i < allSkins.size(); ++i) {
        EXPECT_EQ(rawValue(allSkins[i]), raws[i]);
        EXPECT_EQ(skinFromRawValue(raws[i]), allSkins[i]);
    }
    EXPECT_EQ(localizationKey(Skin::ink), "skin.ink");
    for (std::string_view text : { "Geo", " geo", "" })
        EXPECT_FALSE(skinFromRawValue(text)) << '"' << text << '"';
}

TEST(CoreSpriteManifest, TimingFallsBackToTheApplicationsBuiltInValues)
{
    SpriteManifest empty = SpriteManifest::decode(manifestWithStates(Value::object()).dump());
    SpriteManifest withSick = SpriteManifest::decode(manifestWithStates({ { "sick", { { "frames", 20 }, { "fps", 10 }, { "period", 2 } } } }).dump());
    struct Case {
        SpriteManifest const* manifest;
        Clip clip;
        SpriteManifest::StateInfo expected;
    } const cases[] = {
        { &empty, Clip::sick, { 36, 12, 3.0 } },
        { &withSick, Clip::sick, { 20, 10, 2 } },
        { &empty, Clip::walk, { 18, 24, 0.75 } },
        { &empty, Clip::run, { 10, 24, 0.42 } },
        { &empty, Clip::stroll, { 31, 24, 1.3 } },
        { &empty, Clip::idle, { 58, 24, 2.4 } },
        { &empty, Clip::hungry, { 48, 24, 2.0 } },
        { &empty, Clip::happy, { 12, 24, 0.5 } },
        { &empty, Clip::poop, { 62, 24, 2.6 } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(c.manifest->timing(c.clip), c.expected) << rawValue(c.clip);
    // Every clip has its own built-in row, in the application's numbers.
    for (Clip clip : allClips)
        EXPECT_TRUE(SpriteManifest::builtIn().states.contains(std::string(rawValue(clip)))) << rawValue(clip);
    EXPECT_EQ(SpriteManifest::builtIn().states.size(), allClips.size());
}

TEST(CoreSpriteManifest, DecodesUnderTheSharedRules)
{
    Value valid = manifestWithStates({ { "walk", { { "frames", 18 }, { "fps", 24 }, { "period", 0.75 } } } });
    SpriteManifest manifest = SpriteManifest::decode(valid.dump());
    EXPECT_EQ(manifest.states.at("walk"), (SpriteManifest::StateInfo { 18, 24, 0.75 }));
    EXPECT_EQ(SpriteManifest::decode(manifest.jsonObject().dump()), manifest);
    EXPECT_EQ(SpriteManifest::decode(SpriteManifest::builtIn().jsonObject().dump()), SpriteManifest::builtIn());

    auto without = [&](std::string const& key) {
        Value copy = valid;
        copy.erase(key);
        return copy.dump();
    };
    auto with = [&](std::string const& key, Value value) {
        Value copy = valid;
        copy[key] = std::move(value);
        return copy.dump();
    };
    for (std::string const& text : { without("scale"), without("facing"), with("version", 1.5), with("box", { { "w", "135" }, { "h", 100 } }),
             with("states", { { "sick", { { "frames", 5000 }, { "fps", 12 }, { "period", 1 } } } }), with("scale", -1) }) {
        EXPECT_THROW(SpriteManifest::decode(text), PawletShared::DecodingError) << text;
        // The two records read the one file format alike.
        EXPECT_THROW(PawletShared::SpriteManifest::decode(text), PawletShared::DecodingError) << text;
    }

    SpriteManifest flat = SpriteManifest::decode(with("box", { { "w", 135 }, { "h", 0 } }));
    EXPECT_DOUBLE_EQ(flat.aspect(), 1.35);
    EXPECT_DOUBLE_EQ(SpriteManifest::decode(with("box", { { "w", 200 }, { "h", 100 } })).aspect(), 2);
}

TEST(CoreSpriteManifest, LoadLeavesFailuresToTheCaller)
{
    TestSupport::TemporaryDirectory folder;
    EXPECT_THROW(SpriteManifest::load(folder.path() / "manifest.json"), std::system_error);
    TestSupport::writeFile(folder.path() / "manifest.json", "{\"version\": 1}");
    EXPECT_THROW(SpriteManifest::load(folder.path() / "manifest.json"), PawletShared::DecodingError);
    TestSupport::writeFile(folder.path() / "manifest.json", SpriteManifest::builtIn().jsonObject().dump());
    EXPECT_EQ(SpriteManifest::load(folder.path() / "manifest.json"), SpriteManifest::builtIn());
}
