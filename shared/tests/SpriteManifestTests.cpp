#include "PawletKit/tests/TestSupport.hpp"
#include "shared/DecodingError.hpp"
#include "shared/Skin.hpp"
#include "shared/SpriteManifest.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <system_error>

using namespace PawletShared;
using PawletKit::JSON::Value;

namespace {

Value validManifest()
{
    return PawletKit::JSON::parse(R"({
        "version": 1, "box": {"w": 135, "h": 100}, "logicalHeight": 120, "scale": 2,
        "skins": ["soft", "pixel"], "facing": "right",
        "states": {"run": {"frames": 10, "fps": 24, "period": 0.42}, "walk": {"frames": 18, "fps": 24, "period": 0.75}}
    })");
}

// The valid manifest with one value replaced (or removed when the replacement is absent).
std::string withValue(std::vector<std::string> const& path, std::optional<Value> replacement)
{
    Value root = validManifest();
    Value* parent = &root;
    for (size_t i = 0; i + 1 < path.size(); ++i)
        parent = &(*parent)[path[i]];
    if (replacement)
        (*parent)[path.back()] = *replacement;
    else
        parent->erase(path.back());
    return root.dump();
}

}

TEST(SharedSkin, RawValuesAndTitleKeys)
{
    std::string_view const raws[] = { "soft", "pixel", "ink", "geo" };
    for (size_t i = 0; i < allSkins.size(); ++i) {
        EXPECT_EQ(rawValue(allSkins[i]), raws[i]);
        EXPECT_EQ(skinFromRawValue(raws[i]), allSkins[i]);
    }
    EXPECT_EQ(localizationKey(Skin::geo), "skin.geo");
    for (std::string_view text : { "Pixel", " pixel", "pixel ", "", "sick" })
        EXPECT_FALSE(skinFromRawValue(text)) << '"' << text << '"';
}

TEST(SharedSpriteManifest, DecodesWholeOrNotAtAll)
{
    struct Case {
        std::string name;
        std::string json;
        bool decodes;
    } const cases[] = {
        { "valid", validManifest().dump(), true },
        { "extra top-level key", withValue({ "comment" }, Value("hi")), true },
        { "extra key in box and state", withValue({ "box", "d" }, Value(3)), true },
        { "integral float version", withValue({ "version" }, Value(1e2)), true },
        { "empty states", withValue({ "states" }, Value::object()), true },
        { "negative frames are a reader's matter", withValue({ "states", "run", "frames" }, Value(-2)), true },
        { "box of zero height", withValue({ "box", "h" }, Value(0)), true },
        { "no facing", withValue({ "facing" }, std::nullopt), false },
        { "null facing", withValue({ "facing" }, Value(nullptr)), false },
        { "fractional version", withValue({ "version" }, Value(1.5)), false },
        { "version beyond 64 bits", withValue({ "version" }, Value(18446744073709551615ULL)), false },
        { "width as a string", withValue({ "box", "w" }, Value("135")), false },
        { "box without h", withValue({ "box", "h" }, std::nullopt), false },
        { "box as an array", withValue({ "box" }, Value::array({ 135, 100 })), false },
        { "no scale", withValue({ "scale" }, std::nullopt), false },
        { "Boolean scale", withValue({ "scale" }, Value(true)), false },
        { "state without period", withValue({ "states", "walk", "period" }, std::nullopt), false },
        { "fractional frames", withValue({ "states", "walk", "frames" }, Value(18.5)), false },
        { "state as a number", withValue({ "states", "walk" }, Value(3)), false },
        { "skin that is not a string", withValue({ "skins" }, Value::array({ "soft", 3 })), false },
        { "skins as a string", withValue({ "skins" }, Value("soft")), false },
        { "facing as a number", withValue({ "facing" }, Value(1)), false },
        { "root is an array", "[]", false },
        { "not JSON", "{\"version\": 1,", false },
        { "empty file", "", false },
        // Numbers that would size what readers load.
        { "a million frames", withValue({ "states", "run", "frames" }, Value(1000000)), false },
        { "frames at the cap", withValue({ "states", "run", "frames" }, Value(1000)), true },
        { "negative box width", withValue({ "box", "w" }, Value(-135)), false },
        { "huge box", withValue({ "box", "h" }, Value(1e12)), false },
        { "huge scale", withValue({ "scale" }, Value(1e300)), false },
        { "negative scale", withValue({ "scale" }, Value(-2)), false },
        { "huge logical height", withValue({ "logicalHeight" }, Value(1e9)), false },
        { "number overflowing a double", R"({"version": 1, "box": {"w": 1e999, "h": 100}})", false },
    };
    for (auto const& c : cases) {
        if (c.decodes)
            EXPECT_NO_THROW(SpriteManifest::decode(c.json)) << c.name;
        else
            EXPECT_THROW(SpriteManifest::decode(c.json), DecodingError) << c.name;
    }
}

TEST(SharedSpriteManifest, DecodedFieldsAndRoundTrip)
{
    SpriteManifest manifest = SpriteManifest::decode(withValue({ "comment" }, Value("dropped")));
    EXPECT_EQ(manifest.version, 1);
    EXPECT_EQ(manifest.box, (SpriteManifest::Box { 135, 100 }));
    EXPECT_EQ(manifest.logicalHeight, 120);
    EXPECT_EQ(manifest.scale, 2);
    EXPECT_EQ(manifest.skins, (std::vector<std::string> { "soft", "pixel" }));
    EXPECT_EQ(manifest.facing, "right");
    EXPECT_EQ(manifest.states.at("walk"), (SpriteManifest::StateInfo { 18, 24, 0.75 }));

    Value encoded = manifest.jsonObject();
    EXPECT_FALSE(encoded.contains("comment"));
    EXPECT_EQ(SpriteManifest::decode(encoded.dump()), manifest);
    EXPECT_EQ(SpriteManifest::decode(SpriteManifest::builtIn().jsonObject().dump()), SpriteManifest::builtIn());
}

TEST(SharedSpriteManifest, TimingFallsBackToTheBuiltInEntryPerClip)
{
    SpriteManifest onlyRun = SpriteManifest::decode(withValue({ "states" }, Value { { "run", { { "frames", 4 }, { "fps", 8 }, { "period", 0.5 } } } }));
    SpriteManifest capitalRun = SpriteManifest::decode(withValue({ "states" }, Value { { "Run", { { "frames", 4 }, { "fps", 8 }, { "period", 0.5 } } } }));
    struct Case {
        SpriteManifest const* manifest;
        Clip clip;
        SpriteManifest::StateInfo expected;
    } const cases[] = {
        { &onlyRun, Clip::run, { 4, 8, 0.5 } },
        { &onlyRun, Clip::walk, { 12, 16, 0.75 } },
        { &capitalRun, Clip::run, { 10, 24, 0.42 } },
        { &SpriteManifest::builtIn(), Clip::idle, { 58, 12, 4.8 } },
        { &SpriteManifest::builtIn(), Clip::happy, { 60, 24, 2.5 } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(c.manifest->timing(c.clip), c.expected) << rawValue(c.clip);
    EXPECT_EQ(capitalRun.states.count("Run"), 1u);
    EXPECT_FALSE(SpriteManifest::builtIn().states.contains("sick"));
}

TEST(SharedSpriteManifest, AspectNeverDividesByZero)
{
    double const nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double w, h, aspect;
    } const cases[] = {
        { 135, 100, 1.35 },
        { 200, 100, 2 },
        { 200, 0, 1.35 },
        { 200, -5, 1.35 },
        { 200, nan, 1.35 },
    };
    for (auto const& c : cases) {
        SpriteManifest manifest = SpriteManifest::builtIn();
        manifest.box = { c.w, c.h };
        EXPECT_DOUBLE_EQ(manifest.aspect(), c.aspect) << c.w << " by " << c.h;
    }
}

TEST(SharedSpriteManifest, LoadReportsReadAndDecodeFailures)
{
    TestSupport::TemporaryDirectory folder;
    auto good = folder.path() / "manifest.json";
    TestSupport::writeFile(good, validManifest().dump());
    EXPECT_EQ(SpriteManifest::load(good).states.size(), 2u);

    auto bad = folder.path() / "bad.json";
    TestSupport::writeFile(bad, withValue({ "facing" }, std::nullopt));
    EXPECT_THROW(SpriteManifest::load(bad), DecodingError);

    auto huge = folder.path() / "huge.json";
    TestSupport::writeFile(huge, std::string((1 << 20) + 1, ' '));
    struct Case {
        std::filesystem::path path;
        int error;
    } const cases[] = {
        { folder.path() / "absent.json", ENOENT },
        { folder.path(), EINVAL },
        { huge, EFBIG },
    };
    for (auto const& c : cases) {
        try {
            SpriteManifest::load(c.path);
            ADD_FAILURE() << c.path << " loaded";
        } catch (std::system_error const& error) {
            EXPECT_EQ(error.code().value(), c.error) << c.path;
        }
    }
}
