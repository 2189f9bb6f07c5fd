#include "PawletKit/SettingsInstaller.hpp"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

using namespace PawletKit;
using JSON::Value;
namespace SI = PawletKit::SettingsInstaller;

namespace {

constexpr char agentPath[] = "/home/u/.local/share/Pupnik/bin/pupnik-agent";

// A fresh install into an empty settings object, written out in full.
Value const& freshInstall()
{
    static Value const value = JSON::parse(R"J({
      "statusLine": {"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent statusline", "refreshInterval": 5},
      "hooks": {
        "SessionStart": [{"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook SessionStart", "timeout": 5}]}],
        "SessionEnd": [{"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook SessionEnd", "timeout": 5}]}],
        "UserPromptSubmit": [{"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook UserPromptSubmit", "timeout": 5}]}],
        "PreToolUse": [{"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook PreToolUse", "timeout": 5}]}],
        "PostToolUse": [{"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook PostToolUse", "timeout": 5}]}],
        "PostToolUseFailure": [{"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook PostToolUseFailure", "timeout": 5}]}],
        "Stop": [{"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Stop", "timeout": 5}]}],
        "SubagentStart": [{"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook SubagentStart", "timeout": 5}]}],
        "SubagentStop": [{"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook SubagentStop", "timeout": 5}]}],
        "PermissionRequest": [{"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook PermissionRequest", "timeout": 120}]}],
        "StopFailure": [{"matcher": "rate_limit", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook StopFailure rate_limit", "timeout": 5}]}],
        "Notification": [
          {"matcher": "permission_prompt", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification permission_prompt", "timeout": 5}]},
          {"matcher": "agent_needs_input", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification agent_needs_input", "timeout": 5}]},
          {"matcher": "elicitation_dialog", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification elicitation_dialog", "timeout": 5}]},
          {"matcher": "quota_auto_resume_fired", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification quota_auto_resume_fired", "timeout": 5}]}
        ]
      }
    })J");
    return value;
}

// The base with the patch's members written over it, objects merged member by member; nothing is removed.
Value overlay(Value base, Value const& patch)
{
    for (auto it = patch.begin(); it != patch.end(); ++it) {
        if (it->is_object() && base.contains(it.key()) && base[it.key()].is_object())
            base[it.key()] = overlay(base[it.key()], *it);
        else
            base[it.key()] = *it;
    }
    return base;
}

std::string runShell(std::string const& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return "<popen failed>";
    std::string output;
    std::array<char, 256> chunk;
    while (size_t count = fread(chunk.data(), 1, chunk.size(), pipe.get()))
        output.append(chunk.data(), count);
    return output;
}

}

TEST(SettingsInstaller, ShellQuotingKeepsEveryPathOneWord)
{
    struct Case {
        std::string path;
        std::string quoted;
    };
    Case const cases[] = {
        { "", "''" },
        { "/usr/local/bin/pupnik-agent", "/usr/local/bin/pupnik-agent" },
        { "/opt/a-b_c.d+e=f:g,h@i/pupnik-agent", "/opt/a-b_c.d+e=f:g,h@i/pupnik-agent" },
        { "/home/jürgen/Straße/日本語/pupnik-agent", "/home/jürgen/Straße/日本語/pupnik-agent" },
        { "/home/zoe\u0301/pupnik-agent", "/home/zoe\u0301/pupnik-agent" },
        { "/home/u/Application Support/Pupnik/bin/pupnik-agent", "'/home/u/Application Support/Pupnik/bin/pupnik-agent'" },
        { "/home/o'brien/pupnik-agent", "'/home/o'\\''brien/pupnik-agent'" },
        { "/tmp/''", "'/tmp/'\\'''\\'''" },
        { "/tmp/say \"hi\"/x", "'/tmp/say \"hi\"/x'" },
        { "~/bin/x", "'~/bin/x'" },
        { "/tmp/$HOME/x", "'/tmp/$HOME/x'" },
        { "/tmp/a(b)/x", "'/tmp/a(b)/x'" },
        { "/tmp/a\tb", "'/tmp/a\tb'" },
        { "/tmp/`id`;rm", "'/tmp/`id`;rm'" },
        { "/tmp/ünï cödé/😀", "'/tmp/ünï cödé/😀'" },
        { "/tmp/a\u00A0b", "'/tmp/a\u00A0b'" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(SI::shellQuote(c.path), c.quoted) << c.path;
        EXPECT_EQ(SI::needsQuoting(c.path), c.quoted != c.path && !c.path.empty()) << c.path;
        // What the shell makes of the word is the path itself, byte for byte.
        EXPECT_EQ(runShell("printf '%s' " + c.quoted), c.path) << c.path;
    }
}

TEST(SettingsInstaller, CommandsCarryTheQuotedPath)
{
    std::string spaced = "/home/u/Application Support/Pupnik/bin/pupnik-agent";
    EXPECT_EQ(SI::hookCommand(spaced, "StopFailure", "rate_limit"),
        "'/home/u/Application Support/Pupnik/bin/pupnik-agent' hook StopFailure rate_limit");
    EXPECT_EQ(SI::hookCommand(agentPath, "Stop", std::nullopt), std::string(agentPath) + " hook Stop");
    EXPECT_EQ(SI::hookCommand(agentPath, "Stop", ""), std::string(agentPath) + " hook Stop ");
    EXPECT_EQ(SI::statuslineCommand(""), "'' statusline");
    EXPECT_EQ(SI::statuslineCommand(spaced), "'/home/u/Application Support/Pupnik/bin/pupnik-agent' statusline");
    // Whatever path they are written for, our commands are recognised as ours.
    for (std::string path : { spaced, std::string(agentPath), std::string("/tmp/o'brien/pupnik-agent") }) {
        for (auto const& spec : SI::hookSpecs()) {
            Value command = SI::hookCommand(path, spec);
            EXPECT_TRUE(SI::isOwnCommand(&command)) << command;
        }
    }
}

// A command is ours only when the whole of it is a form we write: the tool's path as one shell word,
// then "hook", an event and an optional matcher, or "statusline". Anything more makes it the user's.
TEST(SettingsInstaller, RecognisesOwnCommands)
{
    struct Case {
        Value command;
        bool own;
    };
    Case const cases[] = {
        { "/x/pupnik-agent hook Stop", true },
        { "/x/pupnik-agent statusline", true },
        { "/x/pupnik-agent hook Notification permission_prompt", true },
        { "/opt/pupnik-old/bin/pupnik-agent hook PreCompact", true },
        { "'/a b/pupnik-agent' hook Stop", true },
        { "'/home/o'\\''brien/pupnik-agent' statusline", true },
        { "\"/a b/pupnik-agent\" statusline", true },
        { "/home/jürgen/pupnik-agent hook Stop", true },
        { "/x/pupnik-agent\thook  Stop", true },
        { "/x/pupnik-agent statusline\n", true },
        { "/x/pupnik-agent hook Stop ", true },
        { "\t/x/pupnik-agent hook Stop", true },
        // Ours among other words is the user's.
        { "echo done; ~/bin/pupnik-agent statusline", false },
        { "/opt/tools/pupnik-agent hook SessionEnd --mine", false },
        { "/x/pupnik-agent hook Notification permission_prompt extra", false },
        { "/x/pupnik-agent hook Stop && say done", false },
        { "/x/pupnik-agent statusline | head -1", false },
        { "/x/pupnik-agent hook Stop;", false },
        { "env A=1 /x/pupnik-agent hook PreToolUse", false },
        { "env A=1 pupnik-agent hook PreToolUse", false },
        { "xpupnik-agent hook; /x/pupnik-agent hook Stop", false },
        // A word the shell would expand or that does not name the tool by a path.
        { "~/bin/pupnik-agent statusline", false },
        { "\"$HOME/pupnik-agent\" statusline", false },
        { "/x/*/pupnik-agent statusline", false },
        { "pupnik-agent hook Stop", false },
        { "pupnik-agent statusline", false },
        { "\tpupnik-agent hook Stop", false },
        { "'/x/pupnik-agent hook Stop'", false },
        { "'/x/pupnik-agent' hook 'Stop", false },
        { "'/x/pupnik-agent statusline", false },
        { "/x/pupnik-agent hook", false },
        { "/x/pupnik-agent hook\u0085", false },
        { "/x/pupnik-agent  \u3000hook Stop", false },
        { "/x/pupnik-agent selftest", false },
        { "/x/pupnik-agent hooks Stop", false },
        { "/x/pupnik-agent statuslines", false },
        { "/x/pupnik-agenthook", false },
        { "/x/my-pupnik-agent hook Stop", false },
        { "/x/pupnik-agent2 hook Stop", false },
        { "/x/Pupnik-Agent hook Stop", false },
        { "/x/pupnik-agent '' hook", false },
        { "/x/pupnik-agent", false },
        { "~/.claude/statusline.sh", false },
        { "", false },
        { 5, false },
        { true, false },
        { nullptr, false },
        { Value::array({ "/x/pupnik-agent hook Stop" }), false },
        { Value { { "command", "/x/pupnik-agent hook Stop" } }, false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(SI::isOwnCommand(&c.command), c.own) << c.command;
    EXPECT_FALSE(SI::isOwnCommand(nullptr));
}

TEST(SettingsInstaller, InstallAndUninstallOverRealisticSettings)
{
    struct Case {
        char const* name;
        char const* settings;
        std::optional<std::string> forwardedSoFar;
        // Members of the result beyond (or in place of) those of a fresh install.
        char const* installedOverFresh;
        std::optional<std::string> forward;
        // What uninstall, given the forward command, leaves of the user's settings.
        char const* afterUninstall;
    };
    Case const cases[] = {
        { "empty", "{}", std::nullopt, "{}", std::nullopt, "{}" },
        {
            "unrelated keys",
            R"J({"model": "opus", "permissions": {"allow": ["Bash(git status)"], "deny": []}, "env": {"FOO": "1"}})J",
            std::nullopt,
            R"J({"model": "opus", "permissions": {"allow": ["Bash(git status)"], "deny": []}, "env": {"FOO": "1"}})J",
            std::nullopt,
            R"J({"model": "opus", "permissions": {"allow": ["Bash(git status)"], "deny": []}, "env": {"FOO": "1"}})J",
        },
        {
            "only the user's hooks",
            R"J({"includeCoAuthoredBy": false, "hooks": {
                "PreToolUse": [{"matcher": "Bash", "hooks": [{"type": "command", "command": "~/bin/check-bash.sh", "timeout": 30}]}],
                "Stop": [{"hooks": [{"type": "command", "command": "say done"}]}],
                "PreCompact": [{"hooks": [{"type": "command", "command": "~/bin/save-notes.sh"}]}]}})J",
            std::nullopt,
            R"J({"includeCoAuthoredBy": false, "hooks": {
                "PreToolUse": [{"matcher": "Bash", "hooks": [{"type": "command", "command": "~/bin/check-bash.sh", "timeout": 30}]},
                               {"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook PreToolUse", "timeout": 5}]}],
                "Stop": [{"hooks": [{"type": "command", "command": "say done"}]},
                         {"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Stop", "timeout": 5}]}],
                "PreCompact": [{"hooks": [{"type": "command", "command": "~/bin/save-notes.sh"}]}]}})J",
            std::nullopt,
            R"J({"includeCoAuthoredBy": false, "hooks": {
                "PreToolUse": [{"matcher": "Bash", "hooks": [{"type": "command", "command": "~/bin/check-bash.sh", "timeout": 30}]}],
                "Stop": [{"hooks": [{"type": "command", "command": "say done"}]}],
                "PreCompact": [{"hooks": [{"type": "command", "command": "~/bin/save-notes.sh"}]}]}})J",
        },
        {
            "the user's status line",
            R"J({"statusLine": {"type": "command", "command": "  bash ~/.claude/statusline.sh \n", "padding": 0}})J",
            std::nullopt,
            R"J({"statusLine": {"padding": 0}})J",
            "bash ~/.claude/statusline.sh",
            // The command comes back trimmed, and the refresh interval the user never had goes again.
            R"J({"statusLine": {"type": "command", "command": "bash ~/.claude/statusline.sh", "padding": 0}})J",
        },
        {
            "an older install elsewhere with other timeouts",
            R"J({"statusLine": {"type": "command", "command": "'/home/u/old place/pupnik-agent' statusline", "refreshInterval": 10},
                "hooks": {
                "SessionStart": [{"hooks": [{"type": "command", "command": "'/home/u/old place/pupnik-agent' hook SessionStart", "timeout": 10}]}],
                "PermissionRequest": [{"hooks": [{"type": "command", "command": "'/home/u/old place/pupnik-agent' hook PermissionRequest", "timeout": 5}]}],
                "PreCompact": [{"hooks": [{"type": "command", "command": "'/home/u/old place/pupnik-agent' hook PreCompact"}]}],
                "Notification": [
                  {"matcher": "idle_prompt", "hooks": [{"type": "command", "command": "'/home/u/old place/pupnik-agent' hook Notification idle_prompt"}]},
                  {"matcher": "agent_needs_input", "hooks": [{"type": "command", "command": "'/home/u/old place/pupnik-agent' hook Notification agent_needs_input", "timeout": 10}]},
                  {"matcher": "permission_prompt", "hooks": [{"command": "'/home/u/old place/pupnik-agent' hook Notification permission_prompt", "async": true}]}]}})J",
            "ccusage statusline",
            // Each registration keeps its place; only the list's new matchers are appended.
            R"J({"statusLine": {"refreshInterval": 10}, "hooks": {"Notification": [
                  {"matcher": "agent_needs_input", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification agent_needs_input", "timeout": 5}]},
                  {"matcher": "permission_prompt", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification permission_prompt", "timeout": 5, "async": true}]},
                  {"matcher": "elicitation_dialog", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification elicitation_dialog", "timeout": 5}]},
                  {"matcher": "quota_auto_resume_fired", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification quota_auto_resume_fired", "timeout": 5}]}]}})J",
            "ccusage statusline",
            R"J({"statusLine": {"type": "command", "command": "ccusage statusline"}})J",
        },
        {
            "our entries inside the user's groups",
            R"J({"hooks": {
                "Stop": [{"hooks": [{"type": "command", "command": "say done"},
                                    {"type": "command", "command": "/opt/pupnik/pupnik-agent hook Stop", "timeout": 5}]}],
                "PreToolUse": [{"matcher": "Bash", "hooks": [{"type": "command", "command": "~/bin/guard.sh"},
                                                             {"type": "command", "command": "/opt/pupnik/pupnik-agent hook PreToolUse"}]}],
                "StopFailure": [{"matcher": " rate_limit ", "hooks": [{"type": "command", "command": "/opt/pupnik/pupnik-agent hook StopFailure rate_limit"}]}],
                "Notification": [
                  {"matcher": "permission_prompt", "hooks": [{"type": "command", "command": "notify-send 'Claude needs you'"},
                                                             {"type": "command", "command": "/opt/pupnik/pupnik-agent hook Notification permission_prompt", "timeout": 5}]},
                  {"matcher": "idle_prompt", "hooks": [{"type": "command", "command": "/opt/pupnik/pupnik-agent hook Notification idle_prompt"},
                                                       {"type": "command", "command": "paplay ~/ding.oga"}]}]}})J",
            std::nullopt,
            R"J({"hooks": {
                "Stop": [{"hooks": [{"type": "command", "command": "say done"},
                                    {"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Stop", "timeout": 5}]}],
                "PreToolUse": [{"matcher": "Bash", "hooks": [{"type": "command", "command": "~/bin/guard.sh"}]},
                               {"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook PreToolUse", "timeout": 5}]}],
                "StopFailure": [{"matcher": " rate_limit ", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook StopFailure rate_limit", "timeout": 5}]}],
                "Notification": [
                  {"matcher": "permission_prompt", "hooks": [{"type": "command", "command": "notify-send 'Claude needs you'"},
                                                             {"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification permission_prompt", "timeout": 5}]},
                  {"matcher": "idle_prompt", "hooks": [{"type": "command", "command": "paplay ~/ding.oga"}]},
                  {"matcher": "agent_needs_input", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification agent_needs_input", "timeout": 5}]},
                  {"matcher": "elicitation_dialog", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification elicitation_dialog", "timeout": 5}]},
                  {"matcher": "quota_auto_resume_fired", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook Notification quota_auto_resume_fired", "timeout": 5}]}]}})J",
            std::nullopt,
            R"J({"hooks": {
                "Stop": [{"hooks": [{"type": "command", "command": "say done"}]}],
                "PreToolUse": [{"matcher": "Bash", "hooks": [{"type": "command", "command": "~/bin/guard.sh"}]}],
                "Notification": [
                  {"matcher": "permission_prompt", "hooks": [{"type": "command", "command": "notify-send 'Claude needs you'"}]},
                  {"matcher": "idle_prompt", "hooks": [{"type": "command", "command": "paplay ~/ding.oga"}]}]}})J",
        },
        {
            // The user's commands that run our tool among words of their own stay theirs.
            "the user's commands around ours",
            R"J({"statusLine": {"type": "command", "command": "echo done; ~/bin/pupnik-agent statusline"},
                "hooks": {
                "SessionEnd": [{"hooks": [{"type": "command", "command": "/opt/tools/pupnik-agent hook SessionEnd --mine"}]}],
                "PreCompact": [{"hooks": [{"type": "command", "command": "/x/pupnik-agent hook PreCompact && notify-send compacted"}]}]}})J",
            std::nullopt,
            R"J({"hooks": {
                "SessionEnd": [{"hooks": [{"type": "command", "command": "/opt/tools/pupnik-agent hook SessionEnd --mine"}]},
                               {"hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook SessionEnd", "timeout": 5}]}],
                "PreCompact": [{"hooks": [{"type": "command", "command": "/x/pupnik-agent hook PreCompact && notify-send compacted"}]}]}})J",
            "echo done; ~/bin/pupnik-agent statusline",
            R"J({"statusLine": {"type": "command", "command": "echo done; ~/bin/pupnik-agent statusline"},
                "hooks": {
                "SessionEnd": [{"hooks": [{"type": "command", "command": "/opt/tools/pupnik-agent hook SessionEnd --mine"}]}],
                "PreCompact": [{"hooks": [{"type": "command", "command": "/x/pupnik-agent hook PreCompact && notify-send compacted"}]}]}})J",
        },
        {
            // A "hooks" or "statusLine" of the wrong type is replaced: the coding agent could not use it.
            "hooks and status line of the wrong type",
            R"J({"hooks": "disabled", "statusLine": "none", "model": "sonnet"})J",
            std::nullopt,
            R"J({"model": "sonnet"})J",
            std::nullopt,
            R"J({"model": "sonnet"})J",
        },
        {
            "event values of the wrong type",
            R"J({"hooks": {"Stop": "oops", "PreToolUse": null, "PostToolUse": []}})J",
            std::nullopt,
            R"J({"hooks": {"Stop": "oops", "PreToolUse": null}})J",
            std::nullopt,
            R"J({"hooks": {"Stop": "oops", "PreToolUse": null}})J",
        },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        Value settings = JSON::parse(c.settings);
        auto installed = SI::install(settings, agentPath, c.forwardedSoFar);
        Value expected = overlay(freshInstall(), JSON::parse(c.installedOverFresh));
        if (std::string_view(c.name) == "event values of the wrong type") {
            // Nothing is registered under an event whose value is not an array.
            expected["hooks"]["Stop"] = "oops";
            expected["hooks"]["PreToolUse"] = nullptr;
        }
        EXPECT_EQ(installed.settings, expected) << installed.settings.dump(2);
        EXPECT_EQ(installed.forwardStatusLine, c.forward);
        EXPECT_TRUE(SI::isInstalled(installed.settings));
        EXPECT_FALSE(SI::needsHookUpgrade(installed.settings));

        // Installing again over the result changes nothing.
        auto again = SI::install(installed.settings, agentPath, installed.forwardStatusLine);
        EXPECT_EQ(again.settings, installed.settings);
        EXPECT_EQ(again.forwardStatusLine, installed.forwardStatusLine);

        Value removed = SI::uninstall(installed.settings, installed.forwardStatusLine);
        EXPECT_EQ(removed, JSON::parse(c.afterUninstall)) << removed.dump(2);
        EXPECT_FALSE(SI::isInstalled(removed));
    }
}

TEST(SettingsInstaller, InstallTakesOverTheStatusLine)
{
    struct Case {
        char const* statusLine;
        std::optional<std::string> forwardedSoFar;
        char const* expected;
        std::optional<std::string> forward;
    };
    Case const cases[] = {
        { R"J({"type": "command", "command": "~/sl.sh", "refreshInterval": 2})J", std::nullopt,
            R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 2})J", "~/sl.sh" },
        { R"J({"type": "command", "command": "~/sl.sh", "refreshInterval": "3"})J", std::nullopt,
            R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": "3"})J", "~/sl.sh" },
        { R"J({"command": "~/sl.sh", "refreshInterval": 0})J", std::nullopt,
            R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 5})J", "~/sl.sh" },
        { R"J({"command": "~/sl.sh", "refreshInterval": 10})J", std::nullopt,
            R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 5})J", "~/sl.sh" },
        { R"J({"command": "~/sl.sh", "refreshInterval": "soon"})J", std::nullopt,
            R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 5})J", "~/sl.sh" },
        { R"J({"type": "static", "command": " \t\n"})J", "old",
            R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 5})J", std::nullopt },
        { R"J({"type": "command", "command": 42, "padding": 1})J", std::nullopt,
            R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 5, "padding": 1})J", std::nullopt },
        { R"J({"type": "command", "command": "/old/pupnik-agent statusline", "refreshInterval": 10})J", "~/sl.sh",
            R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 10})J", "~/sl.sh" },
        { R"J({"command": "/old/pupnik-agent statusline"})J", std::nullopt,
            R"J({"command": "/p/pupnik-agent statusline"})J", std::nullopt },
    };
    for (auto const& c : cases) {
        Value settings = { { "statusLine", JSON::parse(c.statusLine) } };
        auto installed = SI::install(settings, "/p/pupnik-agent", c.forwardedSoFar);
        EXPECT_EQ(installed.settings["statusLine"], JSON::parse(c.expected)) << c.statusLine;
        EXPECT_EQ(installed.forwardStatusLine, c.forward) << c.statusLine;
    }
}

TEST(SettingsInstaller, InstallRewritesOnlyTheFirstOwnGroupOfARegistration)
{
    Value settings = JSON::parse(R"J({"hooks": {"PreToolUse": [
        {"hooks": [{"type": "command", "command": "/a/pupnik-agent hook PreToolUse", "timeout": 9}]},
        {"matcher": "", "hooks": [{"type": "command", "command": "/b/pupnik-agent hook PreToolUse", "timeout": 9}]}]}})J");
    auto installed = SI::install(settings, "/c/pupnik-agent", std::nullopt);
    EXPECT_EQ(installed.settings["hooks"]["PreToolUse"], JSON::parse(R"J([
        {"hooks": [{"type": "command", "command": "/c/pupnik-agent hook PreToolUse", "timeout": 5}]},
        {"matcher": "", "hooks": [{"type": "command", "command": "/b/pupnik-agent hook PreToolUse", "timeout": 9}]}])J"));
}

TEST(SettingsInstaller, InstallNeverReusesTheUsersGroups)
{
    // A group of the user's under our matcher stays theirs; ours goes in a group of its own.
    Value settings = JSON::parse(R"J({"hooks": {"StopFailure": [
        {"matcher": "rate_limit", "hooks": [{"type": "command", "command": "notify-send limit"}]}]}})J");
    auto installed = SI::install(settings, agentPath, std::nullopt);
    EXPECT_EQ(installed.settings["hooks"]["StopFailure"], JSON::parse(R"J([
        {"matcher": "rate_limit", "hooks": [{"type": "command", "command": "notify-send limit"}]},
        {"matcher": "rate_limit", "hooks": [{"type": "command", "command": "/home/u/.local/share/Pupnik/bin/pupnik-agent hook StopFailure rate_limit", "timeout": 5}]}])J"));
}

TEST(SettingsInstaller, UninstallRestoresTheStatusLine)
{
    struct Case {
        char const* statusLine;
        std::optional<std::string> restore;
        char const* expected; // nullptr: the key is gone
    };
    Case const cases[] = {
        { R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 5})J", std::nullopt, nullptr },
        { R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 5})J", "", nullptr },
        { R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 5, "padding": 2})J", " ~/sl.sh ",
            R"J({"type": "command", "command": " ~/sl.sh ", "padding": 2})J" },
        { R"J({"type": "command", "command": "/p/pupnik-agent statusline", "refreshInterval": 3})J", "~/sl.sh",
            R"J({"type": "command", "command": "~/sl.sh", "refreshInterval": 3})J" },
        { R"J({"type": "command", "command": "~/mine.sh", "refreshInterval": 5})J", std::nullopt,
            R"J({"type": "command", "command": "~/mine.sh", "refreshInterval": 5})J" },
        { R"J("just text")J", "~/sl.sh", R"J("just text")J" },
    };
    for (auto const& c : cases) {
        Value settings = { { "statusLine", JSON::parse(c.statusLine) }, { "theme", "dark" } };
        Value result = SI::uninstall(settings, c.restore);
        Value expected = { { "theme", "dark" } };
        if (c.expected)
            expected["statusLine"] = JSON::parse(c.expected);
        EXPECT_EQ(result, expected) << c.statusLine;
    }
}

TEST(SettingsInstaller, UninstallTidiesOnlyWhatIsEmpty)
{
    struct Case {
        char const* settings;
        char const* expected;
    };
    Case const cases[] = {
        // Nothing of ours: only empty event arrays and an empty "hooks" go.
        { R"J({"hooks": {"Stop": [], "PreToolUse": [{"hooks": [{"command": "x"}]}]}})J",
            R"J({"hooks": {"PreToolUse": [{"hooks": [{"command": "x"}]}]}})J" },
        { R"J({"hooks": {}, "a": 1})J", R"J({"a": 1})J" },
        { R"J({"hooks": {"Stop": []}})J", "{}" },
        { R"J({"hooks": "off"})J", R"J({"hooks": "off"})J" },
        // Elements that are not groups stay where they are.
        { R"J({"hooks": {"Stop": ["text", {"matcher": "m"}, {"hooks": [{"command": "/p/pupnik-agent hook Stop"}]}]}})J",
            R"J({"hooks": {"Stop": ["text", {"matcher": "m"}]}})J" },
        { R"J({"hooks": {"Stop": [{"hooks": [{"command": "/p/pupnik-agent hook Stop"}, "stray", {"command": 1}]}]}})J",
            R"J({"hooks": {"Stop": [{"hooks": ["stray", {"command": 1}]}]}})J" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(SI::uninstall(JSON::parse(c.settings), std::nullopt), JSON::parse(c.expected)) << c.settings;
}

TEST(SettingsInstaller, Queries)
{
    Value installed = SI::install(Value::object(), agentPath, std::nullopt).settings;
    Value missingOneMatcher = installed;
    missingOneMatcher["hooks"]["Notification"].erase(3);
    Value underOtherMatcher = installed;
    underOtherMatcher["hooks"]["PermissionRequest"][0]["matcher"] = "Bash";
    Value onlyStatusLine = { { "statusLine", { { "command", "/p/pupnik-agent statusline" } } } };
    Value onlyUnknownEvent = JSON::parse(R"J({"hooks": {"PreCompact": [{"hooks": [{"command": "/p/pupnik-agent hook PreCompact"}]}]}})J");
    Value usersOnly = JSON::parse(R"J({"hooks": {"Stop": [{"hooks": [{"command": "say done"}]}]}, "statusLine": {"command": "x"}})J");

    struct Case {
        char const* name;
        Value settings;
        bool isInstalled;
        bool isComplete;
    };
    Case const cases[] = {
        { "installed", installed, true, true },
        { "one matcher missing", missingOneMatcher, true, false },
        { "under another matcher", underOtherMatcher, true, false },
        { "only the status line", onlyStatusLine, true, false },
        { "only an unknown event", onlyUnknownEvent, true, false },
        { "the user's only", usersOnly, false, false },
        { "empty", Value::object(), false, false },
        { "hooks of the wrong type", { { "hooks", Value::array() } }, false, false },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(SI::isInstalled(c.settings), c.isInstalled) << c.name;
        EXPECT_EQ(SI::isComplete(c.settings), c.isComplete) << c.name;
    }

    EXPECT_EQ(SI::expectedTimeouts().size(), 12u);
    EXPECT_EQ(SI::expectedTimeouts().at("PermissionRequest"), 120);
    EXPECT_EQ(SI::expectedTimeouts().at("Notification"), 5);
    EXPECT_EQ(SI::expectedTimeouts().at("StopFailure"), 5);
}

TEST(SettingsInstaller, NeedsHookUpgradeReadsTheTimeoutsOfRegisteredEntries)
{
    struct Case {
        Value timeout; // null: no "timeout" key
        bool upgrade;
    };
    Case const cases[] = {
        { 5, true },
        { nullptr, true },
        { "soon", true },
        { 120, false },
        { "120", false },
        { 120.9, false },
        { 121, true },
    };
    for (auto const& c : cases) {
        Value settings = SI::install(Value::object(), agentPath, std::nullopt).settings;
        Value& entry = settings["hooks"]["PermissionRequest"][0]["hooks"][0];
        if (c.timeout.is_null())
            entry.erase("timeout");
        else
            entry["timeout"] = c.timeout;
        EXPECT_EQ(SI::needsHookUpgrade(settings), c.upgrade) << c.timeout;
        EXPECT_FALSE(SI::needsHookUpgrade(SI::install(settings, agentPath, std::nullopt).settings));
    }
    // Entries outside the list, and the user's own, are not looked at.
    Value stray = JSON::parse(R"J({"hooks": {"PreCompact": [{"hooks": [{"command": "/p/pupnik-agent hook PreCompact", "timeout": 1}]}],
                                            "Stop": [{"hooks": [{"command": "say done", "timeout": 1}]}]}})J");
    EXPECT_FALSE(SI::needsHookUpgrade(stray));
    Value usersOnly = JSON::parse(R"J({"hooks": {"PermissionRequest": [{"hooks": [{"command": "x", "timeout": 1}]}]}})J");
    EXPECT_FALSE(SI::needsHookUpgrade(usersOnly));
}

TEST(SettingsInstaller, OwnHookCommandsAreSortedAndKeepDuplicates)
{
    Value settings = JSON::parse(R"J({"statusLine": {"command": "/p/pupnik-agent statusline"}, "hooks": {
        "Stop": [{"hooks": [{"command": "/p/pupnik-agent hook Stop"}, {"command": "say done"}]},
                 {"hooks": [{"command": "/p/pupnik-agent hook Stop"}]}],
        "PreCompact": [{"hooks": [{"command": "/p/pupnik-agent hook PreCompact"}]}],
        "Odd": "x"}})J");
    std::vector<std::string> expected = { "/p/pupnik-agent hook PreCompact", "/p/pupnik-agent hook Stop",
        "/p/pupnik-agent hook Stop" };
    EXPECT_EQ(SI::ownHookCommands(settings), expected);
    EXPECT_TRUE(SI::ownHookCommands(JSON::parse(R"J({"hooks": []})J")).empty());
}
