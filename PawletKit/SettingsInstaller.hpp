#pragma once

#include "PawletKit/JSON.hpp"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Pure edits of the coding agent's settings object: our hook registrations and status-line entry go in,
// are recognised again, and come out. No file is read or written here; the hook connector does that.
// Only the top-level keys "hooks" and "statusLine" are ever touched.
namespace PawletKit::SettingsInstaller {

inline constexpr std::string_view agentName = "pupnik-agent";
inline constexpr int64_t defaultHookTimeout = 5;
inline constexpr int64_t statusLineRefreshInterval = 5;
inline constexpr int64_t permissionRequestTimeout = 120;
inline constexpr std::string_view rateLimitMatcher = "rate_limit";
inline constexpr std::string_view quotaResumeMatcher = "quota_auto_resume_fired";
inline constexpr std::array<std::string_view, 3> notificationMatchers = { "permission_prompt", "agent_needs_input",
    "elicitation_dialog" };

// One hook registration: the event it hangs under, the group's matcher, and its timeout in seconds.
struct HookSpec {
    std::string event;
    std::optional<std::string> matcher;
    std::optional<int64_t> timeout;

    int64_t effectiveTimeout() const { return timeout.value_or(defaultHookTimeout); }
    bool operator==(HookSpec const&) const = default;
};

// Every registration we keep in the settings, in the order install appends missing groups.
std::vector<HookSpec> const& hookSpecs();
// Event name to the timeout its registrations carry.
std::map<std::string, int64_t> const& expectedTimeouts();

// Letters, marks and digits of any script and "/-_.+=:,@" need no quoting.
bool needsQuoting(std::string_view path);
// The path as one word for /bin/sh: bare when safe, else in single quotes.
std::string shellQuote(std::string_view path);

std::string statuslineCommand(std::string_view agentPath);
// Event and matcher are written as they are; they come from our own list.
std::string hookCommand(std::string_view agentPath, std::string_view event, std::optional<std::string_view> matcher);
std::string hookCommand(std::string_view agentPath, HookSpec const& spec);

// The whole command is one we write, for our agent tool wherever it lives: its path as one shell word
// (bare or quoted) ending in "/pupnik-agent", then "hook" with an event and an optional matcher, or
// "statusline". A command that runs the tool among words of its own is the user's.
bool isOwnCommand(JSON::Value const* value);
bool isOwnCommandText(std::string_view command);

// A group's "matcher", trimmed of spaces and tabs, against the wanted one; an empty matcher is none.
bool groupMatches(JSON::Value const& group, std::optional<std::string_view> matcher);
// A group under the given matcher that holds at least one of our hook entries.
bool groupHasOwnHook(JSON::Value const& group, std::optional<std::string_view> matcher);
// The group with each of our hook entries pointed at the command and given the timeout.
JSON::Value updateOwnHooks(JSON::Value group, std::string_view command, int64_t timeout);

struct InstallResult {
    JSON::Value settings;
    // The user's own status-line command that the agent tool is to run and pass on, if any.
    std::optional<std::string> forwardStatusLine;
};

// Registers every hook of the list and takes over the status line. `forwardedStatusLine` is what
// config.json forwards so far; it is handed back when our status line was already in place.
InstallResult install(JSON::Value settings, std::string_view agentPath, std::optional<std::string> const& forwardedStatusLine);
// Removes our hook entries and puts the given status-line command back in place of ours (or removes
// ours when there is none).
JSON::Value uninstall(JSON::Value settings, std::optional<std::string> const& restoringStatusLine);

// Our status line, or any hook entry of ours under any event and matcher.
bool isInstalled(JSON::Value const& settings);
// Every registration of the list is present with one of our commands.
bool isComplete(JSON::Value const& settings);
// One of our registered entries carries a timeout other than the list's.
bool needsHookUpgrade(JSON::Value const& settings);
// The commands of all our hook entries, sorted; the status line is not among them.
std::vector<std::string> ownHookCommands(JSON::Value const& settings);

}
