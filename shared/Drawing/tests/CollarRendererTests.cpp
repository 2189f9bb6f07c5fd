#include "DrawingTestSupport.hpp"
#include "shared/CollarPalette.hpp"
#include "shared/Drawing/CollarRenderer.hpp"

#include <gtest/gtest.h>
#include <numbers>

using namespace PawletShared;
using namespace DrawingTestSupport;

namespace {

CollarStyle const twoTone { AgentSource::claude, AgentSource::codex };
CollarAnchors::Tag const hangingTag { 1, 5, 0.5 };

QImage drawn(CollarAnchor const& anchor, CollarStyle const& style, CollarAnchors::Tag const& tag, double scale, std::string const& name)
{
    QImage image = transparentImage(300, 240);
    {
        QPainter painter(&image);
        CollarRenderer::draw(painter, anchor, style, tag, scale);
    }
    savePicture(image, name);
    return image;
}

bool isClear(QImage const& image, int x, int y) { return qAlpha(image.pixel(x, y)) == 0; }

}

TEST(CollarRenderer, BandHalvesTagAndOutlineStayInTheirBox)
{
    // Centre (200, 120), band 80 × 16, tag radius 10 hanging 8 + 5.5 below the centre line.
    QImage image = drawn({ 100, 60, 40, 8, 0 }, twoTone, hangingTag, 2, "collar-level");
    struct Probe {
        int x, y;
        CollarColor color;
        int alpha;
        char const* where;
    } const probes[] = {
        { 165, 118, CollarPalette::claude, 255, "left half" },
        { 235, 118, CollarPalette::codex, 255, "right half" },
        { 200, 136, CollarPalette::claude, 255, "tag centre" },
        // The outer half of the outline, over nothing: the outline colour at 0.9.
        { 180, 111, CollarPalette::outline, 230, "band's upper edge" },
        { 225, 128, CollarPalette::outline, 230, "band's lower edge, right" },
    };
    for (auto const& probe : probes)
        EXPECT_TRUE(looksLike(image, probe.x, probe.y, probe.color, probe.alpha, 4)) << probe.where << ": " << describe(image, probe.x, probe.y);

    // The outline is 3.52 wide, half of it outside the band; the tag reaches 143.5 down.
    QRect box(160 - 2, 112 - 2, 80 + 4, 143 - 112 + 4);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!box.contains(x, y)) {
                ASSERT_TRUE(isClear(image, x, y)) << describe(image, x, y);
            }
}

TEST(CollarRenderer, TurnedBandAndTagSides)
{
    struct Case {
        char const* name;
        CollarAnchor anchor;
        CollarAnchors::Tag tag;
        CollarStyle style;
        struct {
            int x, y;
            CollarColor color;
        } probes[3];
    } const cases[] = {
        // A quarter turn: the front half on top, the tag hanging to the screen's left.
        { "collar-quarter-turn", { 100, 60, 40, 8, std::numbers::pi / 2 }, hangingTag, twoTone,
            { { 200, 90, CollarPalette::claude }, { 200, 150, CollarPalette::codex }, { 186, 120, CollarPalette::claude } } },
        // The tag above the band and at its right end.
        { "collar-tag-above-right", { 100, 60, 40, 8, 0 }, { -1, 5, 1 }, twoTone,
            { { 165, 120, CollarPalette::claude }, { 225, 122, CollarPalette::codex }, { 240, 106, CollarPalette::claude } } },
        // One source: one colour across the band.
        { "collar-one-colour", { 100, 60, 40, 8, 0 }, { 0, 0, 0.5 }, { AgentSource::codex, std::nullopt },
            { { 165, 120, CollarPalette::codex }, { 235, 120, CollarPalette::codex }, { 200, 120, CollarPalette::codex } } },
    };
    for (auto const& c : cases) {
        QImage image = drawn(c.anchor, c.style, c.tag, 2, c.name);
        for (auto const& probe : c.probes)
            EXPECT_TRUE(looksLike(image, probe.x, probe.y, probe.color, 255, 4)) << c.name << ": " << describe(image, probe.x, probe.y);
    }
}

TEST(CollarRenderer, NothingForABandWithoutSize)
{
    for (CollarAnchor anchor : { CollarAnchor { 100, 60, 0, 8, 0 }, CollarAnchor { 100, 60, 40, 0, 0 }, CollarAnchor { 100, 60, -40, 8, 0 },
             CollarAnchor { 100, 60, 40, 8, std::numeric_limits<double>::quiet_NaN() } }) {
        QImage image = drawn(anchor, twoTone, hangingTag, 2, "collar-nothing");
        EXPECT_EQ(image, transparentImage(300, 240)) << anchor.w << " x " << anchor.h;
    }
    // Scale 0 (a frame height of 0) hides everything too.
    EXPECT_EQ(drawn({ 100, 60, 40, 8, 0 }, twoTone, hangingTag, 0, "collar-nothing"), transparentImage(300, 240));
}

TEST(CollarRenderer, CornerRadiusIsHalfTheSmallerSideAndNeverNegative)
{
    struct Case {
        double w, h, expected;
    } const cases[] = {
        { 80, 16, 8 },
        { 16, 16, 8 },
        { 4, 10, 2 },
        { -4, 10, 0 },
        { 4, -10, 0 },
        { 0, 0, 0 },
        { std::numeric_limits<double>::quiet_NaN(), 10, 0 },
    };
    for (auto const& c : cases)
        EXPECT_EQ(CollarRenderer::bandCornerRadius(c.w, c.h), c.expected) << c.w << " x " << c.h;

    // A band shorter than it is thick (8 × 20, outline 4.4) still fills its own box and no more.
    QImage image = drawn({ 100, 60, 4, 10, 0 }, twoTone, { 0, 0, 0.5 }, 2, "collar-narrow");
    EXPECT_TRUE(looksLike(image, 199, 120, CollarPalette::claude, 255, 4)) << describe(image, 199, 120);
    EXPECT_TRUE(looksLike(image, 200, 120, CollarPalette::codex, 255, 4)) << describe(image, 200, 120);
    EXPECT_TRUE(looksLike(image, 194, 120, CollarPalette::outline, 230, 4)) << describe(image, 194, 120);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (x < 193 || x >= 207 || y < 107 || y >= 133) {
                ASSERT_TRUE(isClear(image, x, y)) << describe(image, x, y);
            }
}
