#include "app-core/QuotaSummary.hpp"

#include <gtest/gtest.h>
#include <limits>

using namespace PupnikCore;

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

TEST(QuotaSummary, ReadsTheSourcesEntryOfTheState)
{
    PawletKit::PawletState state;
    state.quotaBySource["codex"].sevenDayUsed = 7;
    state.quotaBySource["claude"].fiveHourUsed = 50;
    EXPECT_EQ(quotaSummary("codex", state), "codex=5h:-/7d:7%/resets:-");
    EXPECT_EQ(quotaSummary("claude", state), "claude=5h:50%/7d:-/resets:-");
    EXPECT_EQ(quotaSummary("process", state), "process=5h:-/7d:-/resets:-");
}
