#pragma once

#include "PawletKit/Date.hpp"
#include "PawletKit/SessionTarget.hpp"
#include "app-core/SyncStatus.hpp"
#include "platform/WindowSystem.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The textual forms of the application's debug reports: every value a line of the status dump or
// of a debug report shows goes through one of these, so the lines read the same everywhere.
namespace PupnikCore::DebugText {

// Values that come from outside (session ids, paths, process names, messages) keep every line one
// line: control characters, and the backslash that introduces the escapes, are written as escapes
// ("\n", "\r", "\t", "\\", else "\u{1B}").
std::string escaped(std::string_view text);
// Enclosed in double quotes, with the quote escaped as well.
std::string inQuotes(std::string_view text);
std::string boolean(bool value);
// "[4242, 4243]"; "[]" when empty.
std::string list(std::vector<int32_t> const& numbers);
// "[\"a\", \"b\"]", each element quoted.
std::string list(std::vector<std::string> const& texts);
// "[\"claude\": 2, \"codex\": 1]"; "[:]" when empty.
std::string dictionary(std::map<std::string, int> const& entries);
// "2026-12-09 09:18:00 +0000": UTC, whole seconds, numeric zone.
std::string date(PawletKit::Date instant);
// The shortest decimal that reads back as the same number, with at least one decimal: 3 reads "3.0".
std::string number(double value);
// Two decimals, always: 0.5 reads "0.50".
std::string twoDecimals(double value);
// "ready(lastPublished: Optional(2026-12-09 09:18:00 +0000))", "ready(lastPublished: nil)",
// "error(\"message\")", "disabledNoEntitlement", "noAccount".
std::string syncStatus(SyncStatus const& status);
// "sid=… source=… pids=[…] names=[…] tty=…" and, when asked, " cwd=…", then " since=…"; an absent
// terminal or folder reads "-".
std::string waitingFields(PawletKit::SessionTarget const& target, bool withFolder);
// One "window: owner=… pid=… layer=… name=…" line per window, front first, at most 8; desktop
// elements left out. "windows: unavailable\n" without a window system.
std::string windowList(std::optional<std::vector<Platform::ManagedWindow>> windows);

inline constexpr size_t windowListLimit = 8;

}
