#include "platform/ManualScheduler.hpp"
#include "shared/ClipSelector.hpp"
#include "shared/DemoTransport.hpp"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace PawletShared;
using PawletKit::Date;
using Windows = std::map<std::string, QuotaWindow>;

namespace {

Date const start = Date::fromSeconds(1'750'000'000);

// What a display saw: one entry per delivery, and every availability report.
struct Recorder {
    std::vector<PetSnapshot> snapshots;
    std::vector<TransportAvailability> availability;

    void attach(DemoTransport& transport)
    {
        transport.onSnapshot = [this](PetSnapshot const& snapshot) { snapshots.push_back(snapshot); };
        transport.onAvailability = [this](TransportAvailability const& report) { availability.push_back(report); };
    }
};

}

TEST(DemoAgents, RawValuesAndSources)
{
    EXPECT_EQ(demoAgentsFromRawValue("both"), DemoAgents::both);
    EXPECT_EQ(demoAgentsFromRawValue("Both"), std::nullopt);
    EXPECT_EQ(demoAgentsFromRawValue(""), std::nullopt);
    EXPECT_EQ(activeSources(DemoAgents::both), (std::vector<std::string> { "claude", "codex" }));
    EXPECT_TRUE(activeSources(DemoAgents::none).empty());
}

TEST(DemoAgents, EveryClipRowPlaysItsOwnClip)
{
    struct Case {
        Clip clip;
        Gait gait;
        Mood mood;
        std::map<std::string, int64_t> counts;
        double intensity;
        double fiveHour;
    } const cases[] = {
        { Clip::run, Gait::run, Mood::normal, { { "claude", 2 }, { "codex", 1 } }, 0.7, 62 },
        { Clip::walk, Gait::walk, Mood::normal, { { "claude", 1 } }, 0.7, 62 },
        { Clip::stroll, Gait::stroll, Mood::normal, { { "codex", 1 } }, 0.7, 62 },
        { Clip::idle, Gait::idle, Mood::normal, {}, 0, 62 },
        { Clip::hungry, Gait::idle, Mood::hungry, {}, 0, 100 },
        { Clip::happy, Gait::idle, Mood::happy, {}, 0, 4 },
        { Clip::poop, Gait::idle, Mood::poop, { { "claude", 1 } }, 0.7, 62 },
    };
    for (auto const& c : cases) {
        PetSnapshot snapshot = demoSnapshot(c.clip, start, std::nullopt);
        PetSnapshot expected;
        expected.gait = c.gait;
        expected.mood = c.mood;
        expected.sourceCounts = c.counts;
        expected.intensity = c.intensity;
        expected.quota = QuotaInfo { c.fiveHour, 18, { start + 5700, start + 259200 } };
        expected.updatedAt = start;
        EXPECT_EQ(snapshot, expected) << rawValue(c.clip);
        EXPECT_EQ(ClipSelector::choice(snapshot), (ClipChoice { c.clip, 1.0 })) << rawValue(c.clip);
    }
}

TEST(DemoAgents, AgentSetsRebuildSessionsAndWindows)
{
    struct Case {
        Clip clip;
        DemoAgents agents;
        std::map<std::string, int64_t> counts;
        double intensity;
        Windows windows;
    } const cases[] = {
        { Clip::run, DemoAgents::both, { { "claude", 2 }, { "codex", 1 } }, 0.7,
            { { "claude", { 62, 18, start + 5700 } }, { "codex", { 62 * 0.55 + 6, 18 * 0.4, start + 8400 } } } },
        { Clip::hungry, DemoAgents::codex, { { "codex", 1 } }, 0.7, { { "codex", { 100 * 0.55 + 6, 18 * 0.4, start + 8400 } } } },
        { Clip::idle, DemoAgents::claude, { { "claude", 2 } }, 0.7, { { "claude", { 62, 18, start + 5700 } } } },
        { Clip::stroll, DemoAgents::claude, { { "claude", 2 } }, 0.7, { { "claude", { 62, 18, start + 5700 } } } },
        { Clip::happy, DemoAgents::none, {}, 0, { { "claude", { 4, 18, start + 5700 } } } },
        { Clip::run, DemoAgents::none, {}, 0, { { "claude", { 62, 18, start + 5700 } } } },
    };
    for (auto const& c : cases) {
        PetSnapshot snapshot = demoSnapshot(c.clip, start, c.agents);
        SCOPED_TRACE(std::string(rawValue(c.clip)) + "/" + std::string(rawValue(c.agents)));
        EXPECT_EQ(snapshot.sourceCounts, c.counts);
        EXPECT_EQ(snapshot.intensity, c.intensity);
        EXPECT_EQ(snapshot.quotaBySource, c.windows);
        EXPECT_EQ(snapshot.activeSources, activeSources(c.agents));
        // What the agents do not touch stays as in the clip's row.
        PetSnapshot row = demoSnapshot(c.clip, start, std::nullopt);
        EXPECT_EQ(snapshot.gait, row.gait);
        EXPECT_EQ(snapshot.mood, row.mood);
        EXPECT_EQ(snapshot.quota, row.quota);
    }
    EXPECT_NEAR(demoSnapshot(Clip::run, start, DemoAgents::both).quotaBySource->at("codex").fiveHour.value(), 40.1, 1e-9);
}

TEST(DemoTransport, CyclesEveryClipWithEveryAgentSetOnTheTimer)
{
    Platform::ManualScheduler scheduler;
    double clock = 0;
    DemoTransport transport(
        2, std::nullopt, std::nullopt, [&] { return start + clock; }, scheduler);
    Recorder recorder;
    recorder.attach(transport);

    transport.start();
    for (int firing = 1; firing <= 28; ++firing) {
        clock = 2.0 * firing;
        scheduler.advance(2);
    }
    ASSERT_EQ(recorder.snapshots.size(), 29u);
    EXPECT_EQ(recorder.availability, std::vector<TransportAvailability>(29, TransportAvailability::available()));

    // Each delivery as a display sees it: clip, agents at work and their sessions, and each agent's
    // five-hour window (the clip's own reading for claude, a made-up one for codex). Rows whose own
    // count is 1 keep it for the agent they name (walk and poop with claude).
    using Counts = std::map<std::string, int64_t>;
    std::vector<std::string> const claude { "claude" }, codex { "codex" }, both { "claude", "codex" }, none {};
    struct Step {
        Clip clip;
        std::vector<std::string> sources;
        Counts counts;
        std::optional<double> claudeFiveHour;
        std::optional<double> codexFiveHour;
    } const timeline[] = {
        { Clip::run, claude, { { "claude", 2 } }, 62, std::nullopt },
        { Clip::walk, codex, { { "codex", 1 } }, std::nullopt, 40.1 },
        { Clip::stroll, both, { { "claude", 2 }, { "codex", 1 } }, 62, 40.1 },
        { Clip::idle, none, {}, 62, std::nullopt },
        { Clip::hungry, claude, { { "claude", 2 } }, 100, std::nullopt },
        { Clip::happy, codex, { { "codex", 1 } }, std::nullopt, 8.2 },
        { Clip::poop, both, { { "claude", 1 }, { "codex", 1 } }, 62, 40.1 },
        { Clip::run, none, {}, 62, std::nullopt },
        { Clip::walk, claude, { { "claude", 1 } }, 62, std::nullopt },
        { Clip::stroll, codex, { { "codex", 1 } }, std::nullopt, 40.1 },
        { Clip::idle, both, { { "claude", 2 }, { "codex", 1 } }, 62, 40.1 },
        { Clip::hungry, none, {}, 100, std::nullopt },
        { Clip::happy, claude, { { "claude", 2 } }, 4, std::nullopt },
        { Clip::poop, codex, { { "codex", 1 } }, std::nullopt, 40.1 },
        { Clip::run, both, { { "claude", 2 }, { "codex", 1 } }, 62, 40.1 },
        { Clip::walk, none, {}, 62, std::nullopt },
        { Clip::stroll, claude, { { "claude", 2 } }, 62, std::nullopt },
        { Clip::idle, codex, { { "codex", 1 } }, std::nullopt, 40.1 },
        { Clip::hungry, both, { { "claude", 2 }, { "codex", 1 } }, 100, 61 },
        { Clip::happy, none, {}, 4, std::nullopt },
        { Clip::poop, claude, { { "claude", 1 } }, 62, std::nullopt },
        { Clip::run, codex, { { "codex", 1 } }, std::nullopt, 40.1 },
        { Clip::walk, both, { { "claude", 1 }, { "codex", 1 } }, 62, 40.1 },
        { Clip::stroll, none, {}, 62, std::nullopt },
        { Clip::idle, claude, { { "claude", 2 } }, 62, std::nullopt },
        { Clip::hungry, codex, { { "codex", 1 } }, std::nullopt, 61 },
        { Clip::happy, both, { { "claude", 2 }, { "codex", 1 } }, 4, 8.2 },
        { Clip::poop, none, {}, 62, std::nullopt },
        // The cycle starts over.
        { Clip::run, claude, { { "claude", 2 } }, 62, std::nullopt },
    };
    ASSERT_EQ(std::size(timeline), recorder.snapshots.size());
    for (size_t delivery = 0; delivery < std::size(timeline); ++delivery) {
        SCOPED_TRACE("delivery " + std::to_string(delivery));
        Step const& step = timeline[delivery];
        PetSnapshot const& delivered = recorder.snapshots[delivery];
        Date const at = start + 2.0 * double(delivery);
        EXPECT_EQ(ClipSelector::choice(delivered), (ClipChoice { step.clip, 1.0 }));
        EXPECT_EQ(delivered.activeSources, step.sources);
        EXPECT_EQ(delivered.sourceCounts, step.counts);
        EXPECT_EQ(delivered.intensity, step.counts.empty() ? 0 : 0.7);
        EXPECT_EQ(delivered.updatedAt, at);
        ASSERT_TRUE(delivered.quotaBySource);
        Windows const& windows = *delivered.quotaBySource;
        EXPECT_EQ(windows.size(), size_t(step.claudeFiveHour.has_value()) + size_t(step.codexFiveHour.has_value()));
        if (step.claudeFiveHour) {
            ASSERT_TRUE(windows.contains("claude"));
            EXPECT_EQ(windows.at("claude"), (QuotaWindow { *step.claudeFiveHour, 18, at + 5700 }));
        }
        if (step.codexFiveHour) {
            ASSERT_TRUE(windows.contains("codex"));
            QuotaWindow const& window = windows.at("codex");
            EXPECT_NEAR(window.fiveHour.value_or(-1), *step.codexFiveHour, 1e-9);
            EXPECT_NEAR(window.sevenDay.value_or(-1), 7.2, 1e-9);
            EXPECT_EQ(window.resetsAt, at + 8400);
        }
    }
    // Every pairing once per cycle.
    std::set<std::pair<Clip, std::vector<std::string>>> pairs;
    for (size_t index = 0; index < 28; ++index)
        pairs.emplace(ClipSelector::choice(recorder.snapshots[index]).clip, *recorder.snapshots[index].activeSources);
    EXPECT_EQ(pairs.size(), 28u);
}

TEST(DemoTransport, HeldClipDeliversOnceWithoutTimer)
{
    Platform::ManualScheduler scheduler;
    DemoTransport transport(
        1, Clip::happy, std::nullopt, [] { return start; }, scheduler);
    Recorder recorder;
    recorder.attach(transport);
    transport.start();
    EXPECT_EQ(scheduler.activeTimers(), 0u);
    scheduler.advance(10);
    ASSERT_EQ(recorder.snapshots.size(), 1u);
    PetSnapshot const& happy = recorder.snapshots.front();
    EXPECT_EQ(happy.sourceCounts, (std::map<std::string, int64_t> { { "claude", 2 } }));
    EXPECT_EQ(happy.intensity, 0.7);
    EXPECT_EQ(happy.quotaBySource, (Windows { { "claude", { 4, 18, start + 5700 } } }));
}

TEST(DemoTransport, HeldAgentsStayWhileTheClipsCycle)
{
    Platform::ManualScheduler scheduler;
    DemoTransport transport(
        1, std::nullopt, DemoAgents::none, [] { return start; }, scheduler);
    Recorder recorder;
    recorder.attach(transport);
    transport.start();
    scheduler.advance(3);
    ASSERT_EQ(recorder.snapshots.size(), 4u);
    for (auto const& snapshot : recorder.snapshots) {
        EXPECT_EQ(snapshot.activeSources, std::vector<std::string>());
        EXPECT_TRUE(snapshot.sourceCounts.empty());
        EXPECT_EQ(snapshot.intensity, 0);
        EXPECT_EQ(snapshot.quotaBySource->size(), 1u);
        EXPECT_TRUE(snapshot.quotaBySource->contains("claude"));
    }
    EXPECT_EQ(ClipSelector::choice(recorder.snapshots[3]).clip, Clip::idle);
}

TEST(DemoTransport, StopKeepsThePlaceAndRefreshRepeatsIt)
{
    Platform::ManualScheduler scheduler;
    DemoTransport transport(
        1, std::nullopt, std::nullopt, [] { return start; }, scheduler);
    Recorder recorder;
    recorder.attach(transport);
    transport.start();
    scheduler.advance(2);
    transport.stop();
    EXPECT_EQ(scheduler.activeTimers(), 0u);
    scheduler.advance(5);
    EXPECT_EQ(recorder.snapshots.size(), 3u);
    EXPECT_EQ(transport.index(), 2);

    transport.refresh();
    EXPECT_EQ(transport.index(), 2);
    transport.start();
    ASSERT_EQ(recorder.snapshots.size(), 5u);
    EXPECT_EQ(recorder.snapshots[3], demoSnapshot(Clip::stroll, start, DemoAgents::both));
    EXPECT_EQ(recorder.snapshots[4], recorder.snapshots[3]);
    // A second start replaces the timer instead of adding one.
    transport.start();
    EXPECT_EQ(scheduler.activeTimers(), 1u);
}

TEST(DemoTransport, DroppedWithoutStopLeavesNoTimerBehind)
{
    Platform::ManualScheduler scheduler;
    size_t delivered = 0;
    {
        DemoTransport transport(
            1, std::nullopt, std::nullopt, [] { return start; }, scheduler);
        transport.onSnapshot = [&](PetSnapshot const&) { ++delivered; };
        transport.start();
        EXPECT_EQ(scheduler.activeTimers(), 1u);
    }
    EXPECT_EQ(scheduler.activeTimers(), 0u);
    scheduler.advance(5);
    EXPECT_EQ(delivered, 1u);
}

TEST(DemoTransport, ObserverMayDropTheTransportWhileTold)
{
    Platform::ManualScheduler scheduler;
    auto transport = std::make_unique<DemoTransport>(
        1, std::nullopt, std::nullopt, [] { return start; }, scheduler);
    size_t snapshots = 0;
    transport->onAvailability = [&](TransportAvailability const&) { transport.reset(); };
    transport->onSnapshot = [&](PetSnapshot const&) { ++snapshots; };
    transport->start();
    EXPECT_EQ(transport, nullptr);
    EXPECT_EQ(snapshots, 0u);
}

TEST(DemoTransport, DeliveryFromAnotherThreadArrivesOnTheMainThread)
{
    Platform::ManualScheduler scheduler;
    DemoTransport transport(
        1, Clip::walk, DemoAgents::codex, [] { return start; }, scheduler);
    std::vector<std::thread::id> threads;
    transport.onAvailability = [&](TransportAvailability const&) { threads.push_back(std::this_thread::get_id()); };
    transport.onSnapshot = [&](PetSnapshot const&) { threads.push_back(std::this_thread::get_id()); };
    std::thread([&] { transport.refresh(); }).join();
    EXPECT_TRUE(threads.empty());
    scheduler.runPosted();
    EXPECT_EQ(threads, (std::vector<std::thread::id> { std::this_thread::get_id(), std::this_thread::get_id() }));
}
