#pragma once

#include "app-core/Focus/RunningAppInfo.hpp"

#include <optional>
#include <span>
#include <string_view>

// Facts about particular applications that the focus rules need.
namespace PupnikCore::KnownApps {

inline constexpr std::string_view appleTerminal = "com.apple.Terminal";
inline constexpr std::string_view iterm2 = "com.googlecode.iterm2";

// The desktop application of codex: an identifier that contains "codex" in any case, or else the name
// "Codex" in any case.
bool isCodexDesktopApp(std::optional<std::string_view> bundleId, std::optional<std::string_view> name);
// The first regular such application, else the first such application at all.
std::optional<RunningAppInfo> codexDesktopApp(std::span<RunningAppInfo const> running);

}
