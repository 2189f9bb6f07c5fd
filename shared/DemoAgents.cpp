#include "shared/DemoAgents.hpp"

#include <algorithm>

namespace PawletShared {

namespace {

constexpr double fiveHourReset = 5700;
constexpr double sevenDayReset = 259200;
constexpr double codexReset = 8400;
constexpr double busyIntensity = 0.7;

struct Row {
    Gait gait;
    Mood mood;
    std::map<std::string, int64_t> counts;
    double fiveHour;
};

Row row(Clip clip)
{
    switch (clip) {
    case Clip::run:
        return { Gait::run, Mood::normal, { { "claude", 2 }, { "codex", 1 } }, 62 };
    case Clip::walk:
        return { Gait::walk, Mood::normal, { { "claude", 1 } }, 62 };
    case Clip::stroll:
        return { Gait::stroll, Mood::normal, { { "codex", 1 } }, 62 };
    case Clip::idle:
        return { Gait::idle, Mood::normal, {}, 62 };
    case Clip::hungry:
        return { Gait::idle, Mood::hungry, {}, 100 };
    case Clip::happy:
        return { Gait::idle, Mood::happy, {}, 4 };
    case Clip::poop:
        return { Gait::idle, Mood::poop, { { "claude", 1 } }, 62 };
    }
    return { Gait::idle, Mood::normal, {}, 62 };
}

double intensity(std::map<std::string, int64_t> const& counts)
{
    int64_t total = 0;
    for (auto const& entry : counts)
        total += entry.second;
    return total >= 1 ? busyIntensity : 0;
}

bool contains(std::vector<std::string> const& list, std::string_view name) { return std::find(list.begin(), list.end(), name) != list.end(); }

void applyAgents(PetSnapshot& snapshot, DemoAgents agents, PawletKit::Date now)
{
    auto sources = activeSources(agents);
    std::map<std::string, int64_t> counts;
    auto countOf = [&](char const* source, int64_t otherwise) {
        auto found = snapshot.sourceCounts.find(source);
        return std::max<int64_t>(1, found == snapshot.sourceCounts.end() ? otherwise : found->second);
    };
    if (contains(sources, "claude"))
        counts["claude"] = countOf("claude", 2);
    if (contains(sources, "codex"))
        counts["codex"] = countOf("codex", 1);

    double fiveHour = snapshot.quota.fiveHour.value_or(62);
    double sevenDay = snapshot.quota.sevenDay.value_or(18);
    std::map<std::string, QuotaWindow> windows;
    if (contains(sources, "claude") || agents == DemoAgents::none)
        windows["claude"] = QuotaWindow { std::min(fiveHour, 100.0), sevenDay, now + fiveHourReset };
    if (contains(sources, "codex"))
        windows["codex"] = QuotaWindow { std::min(fiveHour * 0.55 + 6, 100.0), sevenDay * 0.4, now + codexReset };

    snapshot.intensity = intensity(counts);
    snapshot.sourceCounts = std::move(counts);
    snapshot.activeSources = std::move(sources);
    snapshot.quotaBySource = std::move(windows);
}

}

std::string_view rawValue(DemoAgents agents)
{
    switch (agents) {
    case DemoAgents::claude:
        return "claude";
    case DemoAgents::codex:
        return "codex";
    case DemoAgents::both:
        return "both";
    case DemoAgents::none:
        return "none";
    }
    return "none";
}

std::optional<DemoAgents> demoAgentsFromRawValue(std::string_view text)
{
    for (DemoAgents agents : allDemoAgents)
        if (rawValue(agents) == text)
            return agents;
    return std::nullopt;
}

std::vector<std::string> activeSources(DemoAgents agents)
{
    switch (agents) {
    case DemoAgents::claude:
        return { "claude" };
    case DemoAgents::codex:
        return { "codex" };
    case DemoAgents::both:
        return { "claude", "codex" };
    case DemoAgents::none:
        return {};
    }
    return {};
}

PetSnapshot demoSnapshot(Clip clip, PawletKit::Date now, std::optional<DemoAgents> agents)
{
    Row made = row(clip);
    PetSnapshot snapshot;
    snapshot.gait = made.gait;
    snapshot.mood = made.mood;
    snapshot.intensity = intensity(made.counts);
    snapshot.sourceCounts = std::move(made.counts);
    snapshot.quota.fiveHour = made.fiveHour;
    snapshot.quota.sevenDay = 18;
    snapshot.quota.resets.fiveHour = now + fiveHourReset;
    snapshot.quota.resets.sevenDay = now + sevenDayReset;
    snapshot.updatedAt = now;
    if (agents)
        applyAgents(snapshot, *agents, now);
    return snapshot;
}

}
