#pragma once

#include "app-core/Focus/FocusPlan.hpp"
#include "app-core/Focus/RunningAppInfo.hpp"

#include "PawletKit/SessionTarget.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

// Which running application owns a waiting session, and how to reach the session inside it.
namespace PupnikCore::FocusChooser {

using AppLookup = std::function<std::optional<RunningAppInfo>(int32_t pid)>;
using RunningApps = std::function<std::vector<RunningAppInfo>()>;

// codex sessions belong to codex's desktop application; every other session to the first regular
// application along its process chain. Nothing when there is no such application.
std::optional<FocusPlan> plan(PawletKit::SessionTarget const& target, AppLookup const& appForPid, RunningApps const& runningApps);

// The application of the first pid, in the given order, that has one and whose application is regular.
std::optional<RunningAppInfo> firstRegularApp(std::span<int32_t const> pids, AppLookup const& appForPid);

}
