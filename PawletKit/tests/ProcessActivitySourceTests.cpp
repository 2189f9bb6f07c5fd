#include "PawletKit/ProcessActivitySource.hpp"

#include "TestSupport.hpp"

#include <deque>
#include <gtest/gtest.h>

using namespace PawletKit;

namespace {

// Hands out prepared samplings in order and records what it was asked for.
class ScriptedSampler final : public ProcessSampler {
public:
    std::deque<std::vector<ProcessSample>> samplings;
    std::vector<ProcessNames> requests;

    bool isAvailable() const override { return true; }
    std::vector<ProcessSample> sample(ProcessNames const& names) override
    {
        requests.push_back(names);
        if (samplings.empty())
            return {};
        auto next = std::move(samplings.front());
        samplings.pop_front();
        return next;
    }
};

struct Fixture {
    std::shared_ptr<ScriptedSampler> sampler = std::make_shared<ScriptedSampler>();
    ProcessActivitySource source { sampler, ProcessActivitySource::defaultAgentNames(), [] { return Date::fromSeconds(1000); } };
    double t = 1000;

    // One sampling of the given samples, two seconds after the last.
    std::vector<SpoolEvent> step(std::vector<ProcessSample> samples)
    {
        sampler->samplings.push_back(std::move(samples));
        t += 2;
        return source.poll(Date::fromSeconds(t));
    }
};

std::vector<std::string> names(std::vector<SpoolEvent> const& events)
{
    std::vector<std::string> result;
    for (auto const& event : events)
        result.push_back(event.ev + " " + event.sid.value_or("-"));
    return result;
}

}

TEST(ProcessActivitySource, DefaultsAndEventShape)
{
    EXPECT_EQ(ProcessActivitySource::defaultAgentNames(),
        (std::vector<std::string> { "cursor-agent", "gemini", "copilot", "aider", "opencode", "amp", "goose", "kiro", "codex", "claude" }));
    Fixture f;
    EXPECT_TRUE(f.source.isAvailable());
    EXPECT_EQ(f.source.agentNames.size(), 10u);
    auto events = f.step({ { "cursor-agent", 4242, 20 } });
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0],
        SpoolEvent(1, f.t, "PostToolUse", std::nullopt, "proc:cursor-agent:4242",
            JSON::parse(R"({"session_id":"proc:cursor-agent:4242","hook_event_name":"PostToolUse","source":"process"})")));
    events = f.step({});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0],
        SpoolEvent(1, f.t, "Stop", std::nullopt, "proc:cursor-agent:4242",
            JSON::parse(R"({"session_id":"proc:cursor-agent:4242","hook_event_name":"Stop","source":"process"})")));
    EXPECT_EQ(ProcessActivitySource::sessionID("aider", -1), "proc:aider:-1");
}

TEST(ProcessActivitySource, PollSamplesAtMostEveryInterval)
{
    Fixture f;
    f.source.poll(Date::fromSeconds(100));
    EXPECT_EQ(f.sampler->requests.size(), 1u);
    f.source.poll(Date::fromSeconds(101));
    f.source.poll(Date::fromSeconds(101.99));
    EXPECT_EQ(f.sampler->requests.size(), 1u);
    f.source.poll(Date::fromSeconds(102));
    EXPECT_EQ(f.sampler->requests.size(), 2u);
    // A clock that went back samples at once.
    f.source.poll(Date::fromSeconds(50));
    EXPECT_EQ(f.sampler->requests.size(), 3u);
    // Sampling directly ignores the interval and moves the last sampling time.
    f.source.sample(Date::fromSeconds(50.5));
    EXPECT_EQ(f.sampler->requests.size(), 4u);
    f.source.poll(Date::fromSeconds(52));
    EXPECT_EQ(f.sampler->requests.size(), 4u);
    f.source.poll(Date::fromSeconds(52.5));
    EXPECT_EQ(f.sampler->requests.size(), 5u);
    // Without a time the clock's is used.
    f.source.poll();
    EXPECT_EQ(f.sampler->requests.size(), 6u);
    f.source.poll(Date::fromSeconds(1001));
    EXPECT_EQ(f.sampler->requests.size(), 6u);
}

TEST(ProcessActivitySource, BusySpellsFromCPUUse)
{
    struct Case {
        char const* name;
        std::vector<double> cpu;
        std::vector<char const*> events; // one per sampling; "" for none
    };
    Case const cases[] = {
        { "every busy sample reports", { 20, 20, 20 }, { "PostToolUse", "PostToolUse", "PostToolUse" } },
        { "never busy", { 0, 14.9, 2, 0 }, { "", "", "", "" } },
        { "threshold is inclusive", { 15, 2.99, 2.99 }, { "PostToolUse", "", "Stop" } },
        { "a middling sample restarts the count", { 20, 2, 10, 2, 2 }, { "PostToolUse", "", "", "", "Stop" } },
        { "idle threshold is exclusive", { 20, 3, 3, 2, 2 }, { "PostToolUse", "", "", "", "Stop" } },
        { "one stop per spell", { 20, 1, 1, 1, 1, 30, 0, 0 }, { "PostToolUse", "", "Stop", "", "", "PostToolUse", "", "Stop" } },
        { "busy again before stopping", { 20, 1, 40, 1, 1 }, { "PostToolUse", "", "PostToolUse", "", "Stop" } },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        int64_t total = 0;
        for (size_t i = 0; i < c.cpu.size(); ++i) {
            auto events = f.step({ { "aider", 501, c.cpu[i] } });
            std::string const expected = c.events[i];
            if (expected.empty()) {
                EXPECT_TRUE(events.empty()) << "sampling " << i;
            } else {
                EXPECT_EQ(names(events), (std::vector<std::string> { expected + " proc:aider:501" })) << "sampling " << i;
            }
            total += static_cast<int64_t>(events.size());
        }
        EXPECT_EQ(f.source.eventsEmitted(), total);
        EXPECT_EQ(f.source.trackedCount(), 1u);
    }
}

TEST(ProcessActivitySource, VanishedProcessesStopOnce)
{
    Fixture f;
    f.step({ { "aider", 1, 50 }, { "gemini", 2, 1 }, { "goose", 3, 90 } });
    EXPECT_EQ(f.source.busyCount(), 2u);
    EXPECT_EQ(f.source.trackedCount(), 3u);
    auto events = f.step({ { "goose", 3, 90 } });
    EXPECT_EQ(names(events), (std::vector<std::string> { "PostToolUse proc:goose:3", "Stop proc:aider:1" }));
    EXPECT_EQ(f.source.trackedCount(), 1u);
    EXPECT_TRUE(f.step({ { "goose", 3, 1 } }).empty());
    // Gone while counting down: still one stop.
    EXPECT_EQ(names(f.step({})), (std::vector<std::string> { "Stop proc:goose:3" }));
    EXPECT_TRUE(f.step({}).empty());
    EXPECT_EQ(f.source.trackedCount(), 0u);
    EXPECT_EQ(f.source.eventsEmitted(), 5);
}

TEST(ProcessActivitySource, OnlyCandidateNamesCount)
{
    Fixture f;
    f.source.agentNames = { "aider", "gemini", "claude" };
    f.source.excludedNames = { "claude", "codex" };
    auto events = f.step({ { "aider", 1, 50 }, { "claude", 2, 99 }, { "bash", 3, 99 }, { "Aider", 4, 99 } });
    EXPECT_EQ(names(events), (std::vector<std::string> { "PostToolUse proc:aider:1" }));
    EXPECT_EQ(f.sampler->requests.back(), (ProcessNames { "aider", "gemini" }));
    EXPECT_EQ(f.source.trackedCount(), 1u);

    // Excluding every agent ends the busy spells without asking the sampler.
    f.source.excludedNames = f.source.agentNames;
    size_t const asked = f.sampler->requests.size();
    events = f.step({ { "aider", 1, 50 } });
    EXPECT_EQ(f.sampler->requests.size(), asked);
    EXPECT_EQ(names(events), (std::vector<std::string> { "Stop proc:aider:1" }));
    EXPECT_EQ(f.source.trackedCount(), 0u);
}

TEST(ProcessActivitySource, ReusedPidTakesTheNewName)
{
    Fixture f;
    f.step({ { "aider", 7, 50 } });
    EXPECT_TRUE(f.step({ { "gemini", 7, 1 } }).empty());
    EXPECT_EQ(names(f.step({})), (std::vector<std::string> { "Stop proc:gemini:7" }));
}
