#include "app-core/QuotaBarStyle.hpp"
#include "app-core/QuotaSummary.hpp"

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
        if (width)
            EXPECT_DOUBLE_EQ(*width, *c.width);
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

TEST(QuotaSummary, OneLinePerSourceWithDashesForWhatIsMissing)
{
    double const nan = std::numeric_limits<double>::quiet_NaN();
    auto quota = [](std::optional<double> five, std::optional<double> seven, std::optional<double> reset) {
        PawletKit::QuotaInfo info;
        info.fiveHourUsed = five;
        info.sevenDayUsed = seven;
        if (reset)
            info.fiveHourResetsAt = PawletKit::Date::fromSeconds(*reset);
        return info;
    };
    struct Case {
        char const* source;
        PawletKit::QuotaInfo quota;
        char const* line;
    };
    Case const cases[] = {
        { "claude", quota(42.4, std::nullopt, std::nullopt), "claude=5h:42%/7d:-/resets:-" },
        { "codex", quota(std::nullopt, std::nullopt, std::nullopt), "codex=5h:-/7d:-/resets:-" },
        { "claude", quota(99.6, 20, 1'800'000'123.7), "claude=5h:100%/7d:20%/resets:1800000124" },
        { "process", quota(0, 0, 0), "process=5h:0%/7d:0%/resets:0" },
        // Not-a-number readings print as missing rather than as "nan%".
        { "claude", quota(nan, nan, nan), "claude=5h:-/7d:-/resets:-" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(quotaSummary(c.source, c.quota), c.line);
}
