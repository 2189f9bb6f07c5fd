// The publisher's road for one tick that publishes (map, throttle, encode into the record) and the
// follower's road for one poll of the local record store (read the file, decode the snapshot).
#include "PawletKit/tests/TestSupport.hpp"
#include "app-core/PublishThrottle.hpp"
#include "app-core/SnapshotMapper.hpp"
#include "platform/LocalCloudDatabase.hpp"
#include "shared/CloudKitTransport.hpp"

#include <benchmark/benchmark.h>

using namespace PawletShared;

namespace {

PawletKit::PawletState busyState()
{
    PawletKit::PawletState state;
    state.gait = PawletKit::Gait::walk;
    state.mood = PawletKit::Mood::hungry;
    state.intensity = 0.62;
    state.busySessions = 3;
    state.quota = { 71.5, PawletKit::Date::fromSeconds(1'772'470'000.5), 33, PawletKit::Date::fromSeconds(1'772'900'000) };
    state.sourceCounts = { { "claude", 2 }, { "codex", 1 } };
    state.quotaBySource = { { "claude", state.quota }, { "codex", { 12, std::nullopt, 40, std::nullopt } } };
    return state;
}

void BM_MapThrottleAndBuildRecord(benchmark::State& state)
{
    auto engineState = busyState();
    double now = 1'772'460'000;
    for (auto _ : state) {
        PupnikCore::PublishThrottle throttle;
        auto snapshot = PupnikCore::SnapshotMapper::map(engineState, PawletKit::Date::fromSeconds(now += 0.25));
        auto reason = throttle.decide(snapshot, snapshot.updatedAt);
        auto record = CloudKitTransport::record(snapshot);
        benchmark::DoNotOptimize(reason);
        benchmark::DoNotOptimize(record.fields.size());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_FetchAndDecodeFromLocalStore(benchmark::State& state)
{
    TestSupport::TemporaryDirectory home;
    Platform::LocalCloudDatabase database(home.path() / "cloud" / "iCloud.com.ardlow.tailbase");
    auto snapshot = PupnikCore::SnapshotMapper::map(busyState(), PawletKit::Date::fromSeconds(1'772'460'000));
    database.save(CloudKitTransport::record(snapshot), Platform::CloudSavePolicy::changedKeys, [](Platform::CloudSaveOutcome) {});
    for (auto _ : state) {
        database.fetch("current", [&](std::optional<Platform::CloudRecord> record, std::optional<Platform::CloudError>) {
            auto decoded = record ? CloudKitTransport::snapshot(*record) : std::nullopt;
            benchmark::DoNotOptimize(decoded);
        });
    }
    state.SetItemsProcessed(state.iterations());
}

}

BENCHMARK(BM_MapThrottleAndBuildRecord);
BENCHMARK(BM_FetchAndDecodeFromLocalStore);
