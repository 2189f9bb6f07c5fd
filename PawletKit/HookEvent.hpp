#pragma once

namespace PawletKit::HookEvent {

// The names of the coding agent's hook events: registered in its settings, carried by the agent
// tool into the spool and read by the engine. Plain character arrays, so that each converts by itself
// to a std::string or a std::string_view.
inline constexpr char sessionStart[] = "SessionStart";
inline constexpr char sessionEnd[] = "SessionEnd";
inline constexpr char userPromptSubmit[] = "UserPromptSubmit";
inline constexpr char preToolUse[] = "PreToolUse";
inline constexpr char postToolUse[] = "PostToolUse";
inline constexpr char postToolUseFailure[] = "PostToolUseFailure";
inline constexpr char stop[] = "Stop";
inline constexpr char stopFailure[] = "StopFailure";
inline constexpr char subagentStart[] = "SubagentStart";
inline constexpr char subagentStop[] = "SubagentStop";
inline constexpr char permissionRequest[] = "PermissionRequest";
inline constexpr char notification[] = "Notification";

}
