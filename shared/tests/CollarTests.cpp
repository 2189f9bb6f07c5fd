#include "PawletKit/tests/TestSupport.hpp"
#include "shared/CollarAnchorCache.hpp"
#include "shared/CollarAnchors.hpp"
#include "shared/CollarPalette.hpp"
#include "shared/CollarStyle.hpp"
#include "shared/DecodingError.hpp"

#include <gtest/gtest.h>

#include <system_error>

using namespace PawletShared;
using PawletKit::JSON::Value;

namespace {

Value validCollar()
{
    return PawletKit::JSON::parse(R"({
        "version": 1, "pixelSize": {"w": 270, "h": 200}, "tag": {"side": 1, "r": 5, "along": 0.5},
        "skins": ["soft"],
        "anchors": {"soft": {
            "walk": [{"x": 120, "y": 80, "w": 30, "h": 6, "angle": 0.1},
                     {"x": 121.5, "y": 81, "w": 30, "h": 6, "angle": 0.2},
                     {"x": 122, "y": 82, "w": 30, "h": 6, "angle": 0.3}],
            "idle": []}}
    })");
}

std::string withValue(std::vector<std::string> const& path, std::optional<Value> replacement)
{
    Value root = validCollar();
    Value* parent = &root;
    for (size_t i = 0; i + 1 < path.size(); ++i)
        parent = path[i] == "0" ? &(*parent)[0] : &(*parent)[path[i]];
    if (replacement)
        (*parent)[path.back()] = *replacement;
    else
        parent->erase(path.back());
    return root.dump();
}

}

TEST(CollarStyle, FromSourceNames)
{
    using S = AgentSource;
    struct Case {
        std::vector<std::string> names;
        std::optional<CollarStyle> style;
    } const cases[] = {
        { { "Codex", "claude", "CLAUDE", "cursor" }, CollarStyle { S::claude, S::codex } },
        { { "process", "codex", "claude" }, CollarStyle { S::claude, S::codex } },
        { { "process", "codex" }, CollarStyle { S::codex, S::process } },
        { { "process" }, CollarStyle { S::process, std::nullopt } },
        { { "PROCESS", "process" }, CollarStyle { S::process, std::nullopt } },
        { {}, std::nullopt },
        { { "" }, std::nullopt },
        { { "cursor" }, std::nullopt },
        { { " claude" }, std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(CollarStyle::fromSources(c.names), c.style) << ::testing::PrintToString(c.names);
}

TEST(CollarStyle, FromSnapshotTakesItsOrderedSources)
{
    using S = AgentSource;
    auto snapshot = [](std::optional<std::vector<std::string>> active, std::map<std::string, int64_t> counts) {
        PetSnapshot value;
        value.activeSources = std::move(active);
        value.sourceCounts = std::move(counts);
        return value;
    };
    struct Case {
        PetSnapshot snapshot;
        std::optional<CollarStyle> style;
    } const cases[] = {
        // Without a list of active sources the sessions counted tell who is at work.
        { snapshot(std::nullopt, { { "codex", 2 }, { "claude", 0 } }), CollarStyle { S::codex, std::nullopt } },
        { snapshot(std::nullopt, { { "process", 1 }, { "claude", 3 } }), CollarStyle { S::claude, S::process } },
        { snapshot(std::nullopt, {}), std::nullopt },
        // A present list wins, even an empty one; its names are trimmed of blanks.
        { snapshot(std::vector<std::string> {}, { { "codex", 2 } }), std::nullopt },
        { snapshot(std::vector<std::string> { " Codex\t", "claude" }, {}), CollarStyle { S::claude, S::codex } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(CollarStyle::fromSnapshot(c.snapshot), c.style) << c.snapshot.encoded();
}

TEST(CollarStyle, ColoursAndTwoTone)
{
    CollarStyle single { AgentSource::process, std::nullopt };
    EXPECT_FALSE(single.isTwoTone());
    EXPECT_EQ(single.backColor(), single.frontColor());
    EXPECT_EQ(single.frontColor(), CollarPalette::process);

    CollarStyle same { AgentSource::codex, AgentSource::codex };
    EXPECT_FALSE(same.isTwoTone());
    CollarStyle pair { AgentSource::claude, AgentSource::codex };
    EXPECT_TRUE(pair.isTwoTone());
    EXPECT_EQ(pair.frontColor(), CollarPalette::claude);
    EXPECT_EQ(pair.backColor(), CollarPalette::codex);
    EXPECT_NE(std::hash<CollarStyle> {}(single), std::hash<CollarStyle> {}(CollarStyle { AgentSource::process, AgentSource::process }));

    EXPECT_EQ(CollarColor::fromHex(0xCE6420), CollarPalette::claude);
    EXPECT_EQ(CollarColor::fromHex(0xFF6FA76A), CollarPalette::codex);
    EXPECT_EQ(CollarPalette::color("gemini"), CollarPalette::process);
    EXPECT_EQ(CollarPalette::color(AgentSource::codex), CollarPalette::codex);
    EXPECT_EQ((std::hash<CollarColor> {}({ 0.0, 1, 0 })), (std::hash<CollarColor> {}({ -0.0, 1, 0 })));
    EXPECT_EQ(labelKey(AgentSource::process), "source.process");
    EXPECT_FALSE(agentSourceFromRawValue("Claude"));
}

TEST(CollarAnchors, DecodesWholeOrNotAtAll)
{
    struct Case {
        std::string name;
        std::string json;
        bool decodes;
    } const cases[] = {
        { "valid", validCollar().dump(), true },
        { "extra top-level key", withValue({ "comment" }, Value("hi")), true },
        { "empty anchors", withValue({ "anchors" }, Value::object()), true },
        { "integral float version", withValue({ "version" }, Value(2.0)), true },
        { "fractional version", withValue({ "version" }, Value(1.5)), false },
        { "tag without along", withValue({ "tag", "along" }, std::nullopt), false },
        { "no skins", withValue({ "skins" }, std::nullopt), false },
        { "null pixel size", withValue({ "pixelSize" }, Value(nullptr)), false },
        { "pixel width as a string", withValue({ "pixelSize", "w" }, Value("270")), false },
        { "one anchor without angle", withValue({ "anchors", "soft", "walk", "0", "angle" }, std::nullopt), false },
        { "anchor as a number", withValue({ "anchors", "soft", "walk" }, Value::array({ 1 })), false },
        { "clip list as an object", withValue({ "anchors", "soft", "walk" }, Value::object()), false },
        { "skin as an array", withValue({ "anchors", "soft" }, Value::array()), false },
        { "null skin", withValue({ "anchors", "soft" }, Value(nullptr)), false },
        { "root is a string", "\"collar\"", false },
        { "number overflowing a double", R"({"version": 1, "pixelSize": {"w": 1e400, "h": 200}})", false },
    };
    for (auto const& c : cases) {
        if (c.decodes)
            EXPECT_NO_THROW(CollarAnchors::decode(c.json)) << c.name;
        else
            EXPECT_THROW(CollarAnchors::decode(c.json), DecodingError) << c.name;
    }

    CollarAnchors anchors = CollarAnchors::decode(validCollar().dump());
    EXPECT_EQ(anchors.pixelSize, (CollarAnchors::Size { 270, 200 }));
    EXPECT_EQ(anchors.tag, (CollarAnchors::Tag { 1, 5, 0.5 }));
    EXPECT_EQ(anchors.anchors.at("soft").at("walk")[0], (CollarAnchor { 120, 80, 30, 6, 0.1 }));
    EXPECT_EQ(CollarAnchors::decode(anchors.jsonObject().dump()), anchors);
}

TEST(CollarAnchors, LookupWrapsAndClampsFrames)
{
    CollarAnchors anchors = CollarAnchors::decode(validCollar().dump());
    auto const& walk = anchors.anchors.at("soft").at("walk");
    struct Case {
        Skin skin;
        Clip clip;
        int64_t frame;
        std::optional<CollarAnchor> anchor;
    } const cases[] = {
        { Skin::soft, Clip::walk, 0, walk[0] },
        { Skin::soft, Clip::walk, 2, walk[2] },
        { Skin::soft, Clip::walk, 7, walk[1] },
        { Skin::soft, Clip::walk, -3, walk[0] },
        { Skin::soft, Clip::walk, std::numeric_limits<int64_t>::min(), walk[0] },
        { Skin::soft, Clip::walk, std::numeric_limits<int64_t>::max(), walk[std::numeric_limits<int64_t>::max() % 3] },
        { Skin::soft, Clip::idle, 0, std::nullopt },
        { Skin::soft, Clip::run, 0, std::nullopt },
        { Skin::ink, Clip::walk, 0, std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(anchors.anchor(c.skin, c.clip, c.frame), c.anchor) << rawValue(c.skin) << "/" << rawValue(c.clip) << " " << c.frame;
}

TEST(CollarAnchors, LoadRaisesWhileTheCacheAbsorbs)
{
    TestSupport::TemporaryDirectory folder;
    auto path = folder.path() / "collar.json";
    EXPECT_THROW(CollarAnchors::load(path), std::system_error);
    EXPECT_FALSE(CollarAnchorCache::shared().load(path));

    TestSupport::writeFile(path, withValue({ "tag", "along" }, std::nullopt));
    EXPECT_THROW(CollarAnchors::load(path), DecodingError);
    EXPECT_FALSE(CollarAnchorCache::shared().load(path));

    // A failed load leaves no entry: the repaired file is read on the next call.
    TestSupport::writeFile(path, validCollar().dump());
    auto first = CollarAnchorCache::shared().load(path);
    ASSERT_TRUE(first);

    // Once loaded, a path is served from memory whatever happens to the file.
    TestSupport::writeFile(path, withValue({ "version" }, Value(7)));
    EXPECT_EQ(CollarAnchors::load(path).version, 7);
    EXPECT_EQ(CollarAnchorCache::shared().load(path), first);
    std::filesystem::remove(path);
    EXPECT_EQ(CollarAnchorCache::shared().load(path), first);
}

TEST(CollarAnchors, FromBundleLooksInTheSubdirectory)
{
    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder.path() / "Sprites" / "collar.json", validCollar().dump());
    TestSupport::writeFile(folder.path() / "Broken" / "collar.json", "{");
    EXPECT_TRUE(CollarAnchorCache::shared().fromBundle(folder.path(), "Sprites"));
    EXPECT_FALSE(CollarAnchorCache::shared().fromBundle(folder.path(), "Broken"));
    EXPECT_FALSE(CollarAnchorCache::shared().fromBundle(folder.path(), "Absent"));
}
