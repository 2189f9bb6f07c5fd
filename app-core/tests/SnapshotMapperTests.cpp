#include "app-core/SnapshotMapper.hpp"

#include <gtest/gtest.h>
#include <limits>

using namespace PupnikCore;
using PawletKit::Date;
using PawletKit::PawletState;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinite = std::numeric_limits<double>::infinity();
const Date now = Date::fromSeconds(1'700'000'000.9);

}

TEST(SnapshotMapper, GaitAndMoodMapByNameEveryOne)
{
    for (auto gait : PawletKit::allGaits) {
        PawletState state;
        state.gait = gait;
        EXPECT_EQ(PawletShared::rawValue(SnapshotMapper::map(state, now).gait), PawletKit::rawValue(gait));
    }
    for (auto mood : PawletKit::allMoods) {
        PawletState state;
        state.mood = mood;
        EXPECT_EQ(PawletShared::rawValue(SnapshotMapper::map(state, now).mood), PawletKit::rawValue(mood));
    }
}

TEST(SnapshotMapper, IntensityIsFiniteAndWithinZeroToOne)
{
    struct Case {
        double engine;
        double published;
    } const cases[] = {
        { notANumber, 0 },
        { infinite, 0 },
        { -infinite, 0 },
        { -0.25, 0 },
        { 1.7, 1 },
        { 0.42, 0.42 },
        { 1, 1 },
    };
    for (auto const& c : cases) {
        PawletState state;
        state.intensity = c.engine;
        EXPECT_EQ(SnapshotMapper::map(state, now).intensity, c.published) << c.engine;
    }
}

TEST(SnapshotMapper, QuotaKeepsFinitePercentagesAndFloorsInstantsToWholeSeconds)
{
    PawletState state;
    state.quota = { 61.25, Date::fromSeconds(1'700'003'600.5), notANumber, Date::fromSeconds(-10.5) };
    state.quotaBySource = {
        { "claude", { 40, Date::fromSeconds(1'700'003'600.5), 70, Date::fromSeconds(1'700'500'000) } },
        { "codex", { std::nullopt, std::nullopt, 40, std::nullopt } },
        { "Process X", { infinite, std::nullopt, notANumber, std::nullopt } },
        { "resetOnly", { std::nullopt, Date::fromSeconds(5), std::nullopt, std::nullopt } },
    };
    auto snapshot = SnapshotMapper::map(state, now);
    EXPECT_EQ(snapshot.quota.fiveHour, 61.25);
    EXPECT_EQ(snapshot.quota.sevenDay, std::nullopt);
    EXPECT_EQ(snapshot.quota.resets.fiveHour, Date::fromSeconds(1'700'003'600));
    EXPECT_EQ(snapshot.quota.resets.sevenDay, Date::fromSeconds(-11));
    EXPECT_EQ(snapshot.updatedAt, Date::fromSeconds(1'700'000'000));
    ASSERT_TRUE(snapshot.quotaBySource);
    EXPECT_EQ(*snapshot.quotaBySource, (std::map<std::string, PawletShared::QuotaWindow> {
                                           { "claude", { 40, 70, Date::fromSeconds(1'700'003'600) } },
                                           { "codex", { std::nullopt, 40, std::nullopt } },
                                       }));

    state.quotaBySource = { { "resetOnly", { std::nullopt, Date::fromSeconds(5), std::nullopt, std::nullopt } } };
    EXPECT_EQ(SnapshotMapper::map(state, now).quotaBySource, std::nullopt);
    state.quotaBySource.clear();
    EXPECT_EQ(SnapshotMapper::map(state, now).quotaBySource, std::nullopt);
}

TEST(SnapshotMapper, SourceCountsDropIdleSourcesAndFallBackToBusySessions)
{
    struct Case {
        std::map<std::string, int> counts;
        int busy;
        std::map<std::string, int64_t> published;
        std::optional<std::vector<std::string>> active;
    };
    Case const cases[] = {
        { { { "claude", 0 }, { "codex", 2 } }, 0, { { "codex", 2 } }, std::vector<std::string> { "codex" } },
        { { { "claude", 0 } }, 3, { { "claude", 3 } }, std::nullopt },
        { {}, 1, { { "claude", 1 } }, std::nullopt },
        { {}, 0, {}, std::nullopt },
        // Only when no source has sessions: a busy codex session is not also counted as claude's.
        { { { "codex", 1 } }, 1, { { "codex", 1 } }, std::vector<std::string> { "codex" } },
        { { { "zed", 1 }, { "process", 2 }, { "claude", 1 } }, 4, { { "zed", 1 }, { "process", 2 }, { "claude", 1 } },
            std::vector<std::string> { "claude", "process", "zed" } },
    };
    for (auto const& c : cases) {
        PawletState state;
        state.sourceCounts = c.counts;
        state.busySessions = c.busy;
        auto snapshot = SnapshotMapper::map(state, now);
        EXPECT_EQ(snapshot.sourceCounts, c.published);
        EXPECT_EQ(snapshot.activeSources, c.active);
    }
}

TEST(SnapshotMapper, EveryMappedStateEncodes)
{
    PawletState state;
    state.intensity = notANumber;
    state.quota = { infinite, Date::fromSeconds(notANumber), -infinite, Date::fromSeconds(infinite) };
    state.quotaBySource = { { "claude", { notANumber, Date::fromSeconds(notANumber), 3, std::nullopt } } };
    auto snapshot = SnapshotMapper::map(state, now);
    EXPECT_NO_THROW((void)snapshot.encoded());
    EXPECT_EQ(snapshot.quota.resets.fiveHour, std::nullopt);
}
