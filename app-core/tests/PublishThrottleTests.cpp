#include "app-core/PublishThrottle.hpp"

#include <gtest/gtest.h>
#include <limits>

using namespace PupnikCore;
using PawletKit::Date;
using PawletShared::PetSnapshot;
using Reason = PublishThrottle::Reason;

namespace {

const Date t = Date::fromSeconds(1'700'000'000);

PetSnapshot snapshot(PawletShared::Gait gait = PawletShared::Gait::walk, std::optional<double> fiveHour = std::nullopt)
{
    PetSnapshot value;
    value.gait = gait;
    value.quota.fiveHour = fiveHour;
    value.sourceCounts = { { "claude", 1 } };
    value.updatedAt = t;
    return value;
}

}

TEST(PublishThrottle, BucketsRoundToFivesHalvesAwayFromZeroAndNeverOverflow)
{
    constexpr int64_t top = std::numeric_limits<int64_t>::max() / 5 * 5;
    constexpr int64_t bottom = std::numeric_limits<int64_t>::min() / 5 * 5;
    struct Case {
        std::optional<double> percentage;
        std::optional<int64_t> bucket;
    } const cases[] = {
        { 61, 60 },
        { 62, 60 },
        { 62.5, 65 },
        { 2.4, 0 },
        { 2.5, 5 },
        { 97.5, 100 },
        { -2.5, -5 },
        { 0, 0 },
        { std::nullopt, std::nullopt },
        { std::numeric_limits<double>::quiet_NaN(), std::nullopt },
        { std::numeric_limits<double>::infinity(), std::nullopt },
        { 1e300, top },
        { -1e300, bottom },
        { 9.3e18, top },
        { std::numeric_limits<double>::max(), top },
    };
    for (auto const& c : cases)
        EXPECT_EQ(PublishThrottle::bucket(c.percentage), c.bucket) << c.percentage.value_or(-1);
}

TEST(PublishThrottle, DecidesFirstChangedAfterTwoSecondsAndHeartbeatAfterSixty)
{
    struct Case {
        char const* name;
        PetSnapshot next;
        double after;
        std::optional<Reason> expected;
    };
    auto published = snapshot(PawletShared::Gait::walk, 61);
    auto onlyIntensity = published;
    onlyIntensity.intensity = 0.9;
    onlyIntensity.updatedAt = t + 30;
    onlyIntensity.quota.resets.fiveHour = t;
    auto idleSourceAdded = published;
    idleSourceAdded.sourceCounts["codex"] = 0;
    auto sourceAdded = published;
    sourceAdded.sourceCounts["codex"] = 1;
    auto moodChanged = published;
    moodChanged.mood = PawletShared::Mood::happy;
    Case const cases[] = {
        { "gait change too soon", snapshot(PawletShared::Gait::run, 61), 1.5, std::nullopt },
        { "gait change after 2 s", snapshot(PawletShared::Gait::run, 61), 2.0, Reason::changed },
        { "no change before the heartbeat", published, 59.9, std::nullopt },
        { "heartbeat", published, 60.0, Reason::heartbeat },
        { "clock set back", published, -5, Reason::heartbeat },
        { "quota in the same bucket", snapshot(PawletShared::Gait::walk, 62), 10, std::nullopt },
        { "quota in the next bucket", snapshot(PawletShared::Gait::walk, 63), 10, Reason::changed },
        { "quota no longer known", snapshot(PawletShared::Gait::walk, std::nullopt), 10, Reason::changed },
        { "only intensity, time and resets", onlyIntensity, 30, std::nullopt },
        { "a source with no sessions", idleSourceAdded, 30, std::nullopt },
        { "a source with sessions", sourceAdded, 30, Reason::changed },
        { "mood", moodChanged, 2, Reason::changed },
    };
    for (auto const& c : cases) {
        PublishThrottle throttle;
        EXPECT_EQ(throttle.consider(published, t), Reason::first);
        auto before = throttle;
        EXPECT_EQ(throttle.decide(c.next, t + c.after), c.expected) << c.name;
        EXPECT_EQ(throttle, before) << "decide changes nothing";
    }
}

TEST(PublishThrottle, OnlyAPublishMovesTheThrottle)
{
    PublishThrottle throttle;
    EXPECT_EQ(throttle.decide(snapshot(), t), Reason::first);
    EXPECT_EQ(throttle.decide(snapshot(), t + 100), Reason::first) << "a failed save leaves it as it was";
    throttle.markPublished(snapshot(), t);
    EXPECT_EQ(throttle.lastPublished(), t);
    EXPECT_EQ(throttle.lastKey(), PublishThrottle::key(snapshot()));
    EXPECT_EQ(throttle.consider(snapshot(PawletShared::Gait::run), t + 1), std::nullopt);
    EXPECT_EQ(throttle.consider(snapshot(PawletShared::Gait::run), t + 2), Reason::changed);
    EXPECT_EQ(throttle.consider(snapshot(PawletShared::Gait::run), t + 3), std::nullopt);
    EXPECT_EQ(throttle.lastPublished(), t + 2);
}

TEST(PublishThrottle, KeysIgnoreSourcesWithoutSessions)
{
    auto a = snapshot();
    a.sourceCounts = { { "claude", 0 } };
    auto b = snapshot();
    b.sourceCounts = {};
    EXPECT_EQ(PublishThrottle::key(a), PublishThrottle::key(b));
    EXPECT_EQ(PublishThrottle::key(a).gait, "walk");
    EXPECT_EQ(PublishThrottle::key(a).mood, "normal");
}
