#include "app-core/QuotaBarStyle.hpp"

#include <gtest/gtest.h>
#include <limits>

using namespace PupnikCore;

TEST(QuotaBarStyle, FillWidthKeepsASliverVisibleAndNeverOverflows)
{
    double const nan = std::numeric_limits<double>::quiet_NaN();
    double const inf = std::numeric_limits<double>::infinity();
    struct Case {
        double fraction;
        std::optional<double> width;
    };
    Case const cases[] = {
        { 0, std::nullopt },
        { -0.2, std::nullopt },
        { nan, std::nullopt },
        { inf, std::nullopt },
        { -inf, std::nullopt },
        { 0.01, 8 },
        { 0.05, 8 },
        { 0.1, 12 },
        { 0.5, 60 },
        { 0.999, 119.88 },
        { 1, 120 },
        { 1.7, 120 },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.fraction);
        auto const width = QuotaBarStyle::fillWidth(c.fraction);
        ASSERT_EQ(width.has_value(), c.width.has_value());
        if (width) {
            EXPECT_DOUBLE_EQ(*width, *c.width);
        }
    }
}

TEST(QuotaBarStyle, ColourFollowsTheSource)
{
    struct Case {
        char const* source;
        QuotaBarColour colour;
    };
    Case const cases[] = {
        { "claude", QuotaBarColour::orange },
        { "codex", QuotaBarColour::green },
        { "process", QuotaBarColour::gray },
        { "gemini", QuotaBarColour::orange },
        { "", QuotaBarColour::orange },
        { "Codex", QuotaBarColour::orange },
    };
    for (auto const& c : cases)
        EXPECT_EQ(QuotaBarStyle::colour(c.source), c.colour) << c.source;
}
