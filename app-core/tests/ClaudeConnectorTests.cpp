#include "PawletKit/tests/TestSupport.hpp"
#include "app-core/ClaudeConnector.hpp"

#include "PawletKit/AgentConfig.hpp"
#include "PawletKit/SettingsInstaller.hpp"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace PupnikCore;
using nlohmann::json;
using Failure = ClaudeConnector::Failure;
using Report = ClaudeConnector::InstallReport;
namespace fs = std::filesystem;
namespace SettingsInstaller = PawletKit::SettingsInstaller;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace PupnikCore {
static void PrintTo(ClaudeConnector::Failure const& failure, std::ostream* out)
{
    *out << failure.what();
}
}

namespace {

// A settings file as people have them: their own hooks with matchers and timeouts, their own status
// line with members beyond the command, and keys we never touch.
std::string const realWorldSettings = R"J({
  "$schema": "https://json.schemastore.org/claude-code-settings.json",
  "model": "opus",
  "includeCoAuthoredBy": false,
  "env": { "DISABLE_TELEMETRY": "1", "BASH_DEFAULT_TIMEOUT_MS": "60000" },
  "permissions": {
    "allow": ["Bash(npm run test:*)", "Read(~/.zshrc)"],
    "deny": ["Read(./.env)", "Read(./secrets/**)"]
  },
  "hooks": {
    "PreToolUse": [
      { "matcher": "Bash", "hooks": [{ "type": "command", "command": "~/.claude/hooks/check-bash.sh", "timeout": 30 }] }
    ],
    "PostToolUse": [
      { "matcher": "Edit|MultiEdit|Write", "hooks": [{ "type": "command", "command": "npx prettier --write \"$CLAUDE_FILE_PATHS\"" }] }
    ],
    "Notification": [
      { "hooks": [{ "type": "command", "command": "notify-send 'Claude Code' 'Awaiting your input'" }] }
    ]
  },
  "statusLine": { "type": "command", "command": " ~/.claude/statusline.sh --compact ", "padding": 0, "refreshInterval": 10 }
}
)J";

std::string const userStatusLine = "~/.claude/statusline.sh --compact";
// ManualClock's default instant.
std::string const stamp = "2023-11-14T22-13-20Z";

template<typename Operation>
std::optional<Failure> failureOf(Operation&& operation)
{
    try {
        operation();
    } catch (Failure const& failure) {
        return failure;
    }
    return std::nullopt;
}

std::vector<std::string> namesIn(fs::path const& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Connector : public testing::Test {
protected:
    fs::path home() const { return m_home.path(); }
    fs::path settingsFile() const { return home() / ".claude" / "settings.json"; }
    fs::path beside() const { return home() / ".claude" / "settings.json.pupnik.bak"; }
    fs::path support() const { return home() / ".local" / "share" / "Pupnik"; }
    std::string agent() const { return (support() / "bin" / "pupnik-agent").string(); }
    PawletKit::Environment environment() const { return { { "HOME", home().string() }, { "PATH", "/usr/bin:/bin" } }; }

    // Generous, so a loaded machine or a sanitizer build never trips it; one case sets its own.
    ClaudeConnector connector(std::vector<fs::path> candidates = { PUPNIK_AGENT_PATH }, double selftestTimeout = 120) const
    {
        return ClaudeConnector(settingsFile(), PawletKit::Paths(environment()), std::move(candidates), environment(), *m_clock, nullptr, selftestTimeout);
    }

    // A stand-in agent tool: a shell script run with "selftest" and PUPNIK_SUPPORT_DIR set.
    fs::path tool(std::string const& body)
    {
        auto path = home() / "tools" / ("tool" + std::to_string(++m_tools));
        writeFile(path, "#!/bin/sh\n" + body + "\n");
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }

    json settings() const { return json::parse(readFile(settingsFile())); }
    std::optional<PawletKit::AgentConfig> config() const { return PawletKit::AgentConfig::load(support() / "config.json"); }

    std::shared_ptr<Platform::ManualClock> m_clock = std::make_shared<Platform::ManualClock>();

private:
    TestSupport::TemporaryDirectory m_home;
    int m_tools { 0 };
};

}

TEST_F(Connector, ConnectAndDisconnectGiveTheUserTheirOwnFileBack)
{
    writeFile(settingsFile(), realWorldSettings);
    auto original = json::parse(realWorldSettings);

    auto report = connector().install();
    EXPECT_EQ(report, (Report { settingsFile().string(), beside().string(), userStatusLine }));

    auto installed = settings();
    EXPECT_EQ(installed["statusLine"]["command"], SettingsInstaller::statuslineCommand(agent()));
    EXPECT_EQ(installed["hooks"]["PreToolUse"][0], original["hooks"]["PreToolUse"][0]);
    EXPECT_EQ(installed["hooks"]["PostToolUse"][0], original["hooks"]["PostToolUse"][0]);
    EXPECT_EQ(installed["hooks"]["Notification"][0], original["hooks"]["Notification"][0]);
    EXPECT_EQ(installed["permissions"], original["permissions"]);
    for (auto const& command : SettingsInstaller::ownHookCommands(installed))
        EXPECT_NE(command.find(agent()), std::string::npos) << command;
    EXPECT_TRUE(connector().isConnected());
    EXPECT_TRUE(connector().isComplete());
    EXPECT_FALSE(connector().needsHookUpgrade());
    // Written the way the file is meant to be read by people too.
    auto text = readFile(settingsFile());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_NE(text.find("\n  \"hooks\": {"), std::string::npos);
    EXPECT_NE(text.find("\"$schema\": \"https://json.schemastore.org"), std::string::npos);

    auto stored = config();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->forwardStatusLine, userStatusLine);
    EXPECT_EQ(stored->displacedStatusLine, original["statusLine"]);
    EXPECT_EQ(stored->installedAt, PawletKit::Date::fromSeconds(m_clock->now()));

    EXPECT_EQ(readFile(beside()), realWorldSettings);
    EXPECT_EQ(namesIn(support() / "backups"), std::vector<std::string> { "settings-" + stamp + ".json" });
    EXPECT_EQ(readFile(support() / "backups" / ("settings-" + stamp + ".json")), realWorldSettings);
    EXPECT_EQ(readFile(agent()), readFile(PUPNIK_AGENT_PATH));
    EXPECT_EQ(TestSupport::fileMode(agent()), 0755u);
    EXPECT_NE(readFile(support() / "events.jsonl").find("\"ev\":\"selftest\""), std::string::npos);

    connector().uninstall(false);
    EXPECT_EQ(settings(), original);
    EXPECT_FALSE(connector().isConnected());
    // The copy beside holds the file as it was just before the disconnect.
    EXPECT_EQ(json::parse(readFile(beside())), installed);
    EXPECT_TRUE(fs::exists(agent()));
    EXPECT_TRUE(fs::exists(support() / "config.json"));
}

TEST_F(Connector, ConnectingTwiceKeepsWhatTheFirstConnectDisplaced)
{
    writeFile(settingsFile(), realWorldSettings);
    connector().install();
    auto afterFirst = settings();
    auto report = connector().install();
    EXPECT_EQ(report.forwardStatusLine, userStatusLine);
    EXPECT_EQ(settings(), afterFirst);
    EXPECT_EQ(config()->displacedStatusLine, json::parse(realWorldSettings)["statusLine"]);

    connector().uninstall(false);
    EXPECT_EQ(settings(), json::parse(realWorldSettings));
}

TEST_F(Connector, ConnectingOverAnOlderInstallationMovesEveryEntryToTheNewTool)
{
    std::string const old = "/opt/pupnik-old/bin/pupnik-agent";
    auto before = SettingsInstaller::install(json { { "model", "sonnet" }, { "statusLine", { { "type", "command" }, { "command", "ccusage statusline" } } } }, old, std::nullopt);
    writeFile(settingsFile(), before.settings.dump(2));
    // An older installation kept only the command it forwards to.
    fs::create_directories(support());
    writeFile(support() / "config.json", R"({"version":1,"forwardStatusLine":"ccusage statusline","installedAt":"2026-01-01T00:00:00Z"})");

    auto report = connector().install();
    EXPECT_EQ(report.forwardStatusLine, "ccusage statusline");
    auto installed = settings();
    EXPECT_EQ(installed["statusLine"]["command"], SettingsInstaller::statuslineCommand(agent()));
    auto commands = SettingsInstaller::ownHookCommands(installed);
    EXPECT_EQ(commands.size(), SettingsInstaller::hookSpecs().size());
    for (auto const& command : commands)
        EXPECT_EQ(command.find(old), std::string::npos) << command;
    EXPECT_FALSE(config()->displacedStatusLine);

    connector().uninstall(false);
    EXPECT_EQ(settings(), (json { { "model", "sonnet" }, { "statusLine", { { "type", "command" }, { "command", "ccusage statusline" } } } }));
}

TEST_F(Connector, DisconnectPutsBackOnlyTheEntryWhoseCommandIsStillForwarded)
{
    writeFile(settingsFile(), realWorldSettings);
    connector().install();
    // Someone changed the forwarded command since: the stored entry no longer belongs to it.
    auto stored = *config();
    stored.forwardStatusLine = "other-statusline";
    stored.save(support() / "config.json");

    connector().uninstall(false);
    EXPECT_EQ(settings()["statusLine"], (json { { "type", "command" }, { "command", "other-statusline" }, { "padding", 0 } }));
}

TEST_F(Connector, AnUnparsableSettingsFileIsNeverWrittenNorBackedUp)
{
    char const* const contents[] = { "{", "[1, 2]", "\"text\"", "{\"a\": 1} trailing", "{\"a\": \"\xFF\"}" };
    for (auto const* content : contents) {
        writeFile(settingsFile(), content);
        fs::create_directories(support());
        writeFile(support() / "config.json", "{}");
        auto expected = Failure::settingsUnparsable(settingsFile().string());

        EXPECT_EQ(failureOf([&] { connector().install(); }), expected) << content;
        EXPECT_EQ(failureOf([&] { connector().uninstall(false); }), expected) << content;
        EXPECT_EQ(failureOf([&] { connector().uninstall(true); }), expected) << content;
        EXPECT_EQ(readFile(settingsFile()), content);
        EXPECT_FALSE(fs::exists(beside())) << content;
        EXPECT_FALSE(fs::exists(support() / "backups")) << content;
        // The refused disconnect deleted nothing either.
        EXPECT_EQ(readFile(support() / "config.json"), "{}") << content;
        EXPECT_FALSE(connector().isConnected()) << content;
        fs::remove_all(support());
    }
}

TEST_F(Connector, ALinkedSettingsFileStaysALinkWhileItsTargetIsEdited)
{
    auto target = home() / "dotfiles" / "claude" / "settings.json";
    writeFile(target, realWorldSettings);
    ::chmod(target.c_str(), 0640);
    fs::create_directories(settingsFile().parent_path());
    fs::create_symlink("../dotfiles/claude/settings.json", settingsFile());

    auto report = connector().install();
    EXPECT_EQ(report.backupPath, beside().string());
    EXPECT_TRUE(fs::is_symlink(settingsFile()));
    EXPECT_EQ(fs::read_symlink(settingsFile()), "../dotfiles/claude/settings.json");
    EXPECT_TRUE(SettingsInstaller::isInstalled(json::parse(readFile(target))));
    EXPECT_EQ(TestSupport::fileMode(target), 0640u);
    EXPECT_TRUE(connector().isConnected());

    connector().uninstall(false);
    EXPECT_TRUE(fs::is_symlink(settingsFile()));
    EXPECT_EQ(json::parse(readFile(target)), json::parse(realWorldSettings));
    EXPECT_EQ(TestSupport::fileMode(target), 0640u);
}

TEST_F(Connector, SomethingOtherThanAFileAtTheSettingsPathIsRefusedWithoutBlocking)
{
    auto folder = home() / "folder";
    fs::create_directories(folder / "keep");
    auto fifo = home() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(settingsFile().parent_path());
    for (auto const& thing : { folder, fifo }) {
        fs::remove(settingsFile());
        fs::create_symlink(thing, settingsFile());
        auto expected = Failure::writeFailed(settingsFile().string(), "not a regular file");
        EXPECT_EQ(failureOf([&] { connector().install(); }), expected) << thing;
        EXPECT_EQ(failureOf([&] { connector().uninstall(false); }), expected) << thing;
        EXPECT_FALSE(connector().isConnected()) << thing;
        EXPECT_FALSE(fs::exists(beside())) << thing;
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(folder / "keep"));

    // A file that is there but cannot be read is not taken for a missing one and replaced.
    fs::remove(settingsFile());
    writeFile(home() / "plain", "{}");
    fs::create_symlink(home() / "plain" / "child", settingsFile());
    EXPECT_EQ(failureOf([&] { connector().install(); }), Failure::writeFailed(settingsFile().string(), std::generic_category().message(ENOTDIR)));

    // Nor is one too large to be a settings file.
    fs::remove(settingsFile());
    std::string large = "{\"a\": \"" + std::string(ClaudeConnector::maxSettingsBytes, 'a') + "\"}";
    writeFile(settingsFile(), large);
    EXPECT_EQ(failureOf([&] { connector().install(); }), Failure::writeFailed(settingsFile().string(), "larger than 8 MiB"));
    EXPECT_EQ(readFile(settingsFile()), large);
    EXPECT_FALSE(fs::exists(beside()));
}

// The owner took write permission away from the file: neither connecting nor disconnecting rewrites
// it, and nothing is backed up or deleted on the way to the refusal.
TEST_F(Connector, AReadOnlySettingsFileIsNeverRewrittenNorBackedUp)
{
    auto const content = SettingsInstaller::install(json::parse(realWorldSettings), agent(), std::nullopt).settings.dump(2);
    auto const target = home() / "dotfiles" / "settings.json";
    struct Case {
        char const* name;
        bool linked;
        mode_t mode;
    } const cases[] = {
        { "read-only for everyone", false, 0444 },
        { "readable by its owner only", false, 0400 },
        { "writable by its group but not its owner", false, 0464 },
        { "a link to a read-only target", true, 0444 },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(settingsFile().parent_path());
        fs::remove_all(target.parent_path());
        fs::remove_all(support());
        auto file = c.linked ? target : settingsFile();
        writeFile(file, content);
        ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
        if (c.linked) {
            fs::create_directories(settingsFile().parent_path());
            fs::create_symlink(target, settingsFile());
        }
        fs::create_directories(support());
        writeFile(support() / "config.json", "{}");
        auto expected = Failure::writeFailed(settingsFile().string(), "read-only");

        EXPECT_EQ(failureOf([&] { connector().install(); }), expected);
        EXPECT_EQ(failureOf([&] { connector().uninstall(false); }), expected);
        EXPECT_EQ(failureOf([&] { connector().uninstall(true); }), expected);
        EXPECT_EQ(readFile(file), content);
        EXPECT_EQ(TestSupport::fileMode(file), c.mode);
        EXPECT_EQ(fs::is_symlink(settingsFile()), c.linked);
        EXPECT_FALSE(fs::exists(beside()));
        EXPECT_FALSE(fs::exists(support() / "backups"));
        EXPECT_EQ(readFile(support() / "config.json"), "{}");
        EXPECT_TRUE(connector().isConnected());
    }
}

// Commands that run the agent tool among words of the user's own are the user's: connecting keeps
// them, and disconnecting gives the file back as it was.
TEST_F(Connector, TheUsersCommandsAroundOursSurviveConnectAndDisconnect)
{
    std::string const original = R"J({
  "statusLine": { "type": "command", "command": "echo done; ~/bin/pupnik-agent statusline" },
  "hooks": {
    "SessionEnd": [{ "hooks": [{ "type": "command", "command": "/opt/tools/pupnik-agent hook SessionEnd --mine" }] }]
  }
}
)J";
    writeFile(settingsFile(), original);

    auto report = connector().install();
    EXPECT_EQ(report.forwardStatusLine, "echo done; ~/bin/pupnik-agent statusline");
    auto installed = settings();
    EXPECT_EQ(installed["hooks"]["SessionEnd"][0], json::parse(original)["hooks"]["SessionEnd"][0]);
    EXPECT_EQ(installed["hooks"]["SessionEnd"][1]["hooks"][0]["command"], SettingsInstaller::hookCommand(agent(), "SessionEnd", std::nullopt));
    EXPECT_EQ(config()->displacedStatusLine, json::parse(original)["statusLine"]);

    connector().uninstall(false);
    EXPECT_EQ(settings(), json::parse(original));
}

// While connected, the agent's status line is our command, which runs the user's: a line that
// calls another program named like our tool is theirs and is printed; one that calls ours again
// prints its own words once and stops there.
TEST_F(Connector, TheUsersCompoundStatusLineIsPrintedWhileConnected)
{
    writeFile(home() / "bin" / "pupnik-agent", "#!/bin/sh\necho \"their tool: $1\"\n");
    fs::permissions(home() / "bin" / "pupnik-agent", fs::perms::owner_all);
    struct Case {
        std::string userLine;
        std::string printed;
    };
    Case const cases[] {
        { "echo done; ~/bin/pupnik-agent statusline", "done\ntheir tool: statusline\n" },
        { "echo outer; " + SettingsInstaller::shellQuote(agent()) + " statusline", "outer\n" },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.userLine);
        writeFile(settingsFile(), json { { "statusLine", { { "type", "command" }, { "command", c.userLine } } } }.dump());
        connector().install();
        auto const ours = settings()["statusLine"]["command"].get<std::string>();
        ASSERT_EQ(ours, SettingsInstaller::statuslineCommand(agent()));

        auto const outputFile = home() / "printed.txt";
        std::string const shell = "cd / && env -i HOME=" + SettingsInstaller::shellQuote(home().string()) + " PATH=/usr/bin:/bin /bin/sh -c "
            + SettingsInstaller::shellQuote(ours) + " </dev/null >" + SettingsInstaller::shellQuote(outputFile.string());
        EXPECT_EQ(std::system(shell.c_str()), 0);
        EXPECT_EQ(readFile(outputFile), c.printed);
        connector().uninstall(false);
        EXPECT_EQ(settings()["statusLine"]["command"], c.userLine);
    }
}

TEST_F(Connector, NoSettingsFileGetsOneWithOnlyOurEntriesAndNoBackup)
{
    auto report = connector().install();
    EXPECT_EQ(report, (Report { settingsFile().string(), "—", std::nullopt }));
    auto installed = settings();
    EXPECT_EQ(installed.size(), 2u);
    EXPECT_TRUE(connector().isComplete());
    EXPECT_EQ(TestSupport::fileMode(settingsFile()), 0600u);
    EXPECT_FALSE(fs::exists(beside()));
    EXPECT_FALSE(fs::exists(support() / "backups"));
    EXPECT_FALSE(config()->displacedStatusLine);

    connector().uninstall(false);
    EXPECT_EQ(settings(), json::object());
}

TEST_F(Connector, ABlankSettingsFileCountsAsEmptyAndIsStillBackedUp)
{
    writeFile(settingsFile(), "\n \n\t\r\n");
    auto report = connector().install();
    EXPECT_EQ(report.backupPath, beside().string());
    EXPECT_EQ(readFile(beside()), "\n \n\t\r\n");
    EXPECT_TRUE(connector().isComplete());
}

TEST_F(Connector, BackupsWithinOneSecondNeverReplaceEachOther)
{
    writeFile(settingsFile(), realWorldSettings);
    auto candidate = tool(R"(printf '{"ev":"selftest"}\n' >> "$PUPNIK_SUPPORT_DIR/events.jsonl"; echo ok)");
    connector({ candidate }).install();
    auto afterFirst = readFile(settingsFile());
    m_clock->advance(0.5);
    connector({ candidate }).uninstall(false);
    auto afterSecond = readFile(settingsFile());
    connector({ candidate }).install();

    auto backups = support() / "backups";
    EXPECT_EQ(namesIn(backups), (std::vector<std::string> { "settings-" + stamp + "-2.json", "settings-" + stamp + "-3.json", "settings-" + stamp + ".json" }));
    EXPECT_EQ(readFile(backups / ("settings-" + stamp + ".json")), realWorldSettings);
    EXPECT_EQ(readFile(backups / ("settings-" + stamp + "-2.json")), afterFirst);
    EXPECT_EQ(readFile(backups / ("settings-" + stamp + "-3.json")), afterSecond);
    EXPECT_EQ(TestSupport::fileMode(backups), 0700u);
}

TEST_F(Connector, DeletingSupportDataRemovesOnlyWhatWeMade)
{
    // The support folder named by the variable, and set to a folder of the user's.
    auto work = home() / "work";
    writeFile(work / "notes.txt", "mine");
    writeFile(work / "backups" / "photos.tar", "mine too");
    writeFile(work / "approvals" / "README", "mine as well");
    writeFile(home() / "elsewhere.json", "linked to");
    fs::create_symlink(home() / "elsewhere.json", work / "agent.log");
    auto environment = this->environment();
    environment["PUPNIK_SUPPORT_DIR"] = work.string();
    PawletKit::Paths paths(environment);
    ASSERT_EQ(paths.base(), work);
    writeFile(settingsFile(), realWorldSettings);
    ClaudeConnector connector(settingsFile(), paths, { PUPNIK_AGENT_PATH }, environment, *m_clock, nullptr, 120);
    connector.install();
    writeFile(work / "approvals" / "a1.json", "{}");
    writeFile(work / "approvals" / "a1.reply", "allow");
    writeFile(work / "events.1.jsonl", "\n");
    writeFile(work / "cloud" / "iCloud.container" / "current.json", "{}");

    connector.uninstall(true);
    EXPECT_EQ(namesIn(work), (std::vector<std::string> { "approvals", "backups", "notes.txt" }));
    EXPECT_EQ(namesIn(work / "backups"), std::vector<std::string> { "photos.tar" });
    EXPECT_EQ(namesIn(work / "approvals"), std::vector<std::string> { "README" });
    EXPECT_EQ(readFile(home() / "elsewhere.json"), "linked to");
    EXPECT_EQ(settings(), json::parse(realWorldSettings));
    EXPECT_TRUE(fs::exists(beside()));
}

TEST_F(Connector, DeletingSupportDataOfOurOwnFolderRemovesTheFolder)
{
    writeFile(settingsFile(), realWorldSettings);
    connector().install();
    writeFile(support() / "approvals" / "a1.json", "{}");
    writeFile(support() / "agent.log", "line\n");
    connector().uninstall(true);
    EXPECT_FALSE(fs::exists(support()));
    EXPECT_TRUE(fs::exists(beside()));
    EXPECT_EQ(settings(), json::parse(realWorldSettings));

    // With no settings file the disconnect only deletes the support data.
    fs::remove(settingsFile());
    connector().install();
    fs::remove(settingsFile());
    connector().uninstall(true);
    EXPECT_FALSE(fs::exists(support()));
    EXPECT_FALSE(fs::exists(settingsFile()));
}

TEST_F(Connector, TheSelfTestFailsForEveryWayTheToolCanMisbehave)
{
    auto const spool = (support() / "events.jsonl").string();
    auto const line = R"(printf '{"v":1,"ev":"selftest"}\n' >> "$PUPNIK_SUPPORT_DIR/events.jsonl")";
    struct Case {
        char const* name;
        std::string script;
        // Left in the rotated event file before the test.
        std::string rotatedBefore;
        std::optional<std::string> reason;
    } const cases[] = {
        { "real answer", std::string("[ \"$1\" = selftest ] || exit 9\n") + line + "; echo \"$PUPNIK_SUPPORT_DIR/events.jsonl\"", "", std::nullopt },
        { "prints nothing", line, "", "exit 0" },
        { "prints blanks", std::string(line) + "; printf ' \\n\\t'", "", "exit 0" },
        { "exits 1", std::string(line) + "; echo path; exit 1", "", "exit 1" },
        { "killed", "kill -9 $$", "", "signal 9" },
        { "writes no line", "echo path", "", "no selftest line in " + spool },
        { "only an old line in the rotated file", "echo path", R"({"ev":"selftest"})"
                                                               "\n",
            "no selftest line in " + spool },
        { "rotates after writing", std::string(line) + "; mv \"$PUPNIK_SUPPORT_DIR/events.jsonl\" \"$PUPNIK_SUPPORT_DIR/events.1.jsonl\"; echo path", "old\n", std::nullopt },
        { "rotates before writing", std::string("mv \"$PUPNIK_SUPPORT_DIR/events.jsonl\" \"$PUPNIK_SUPPORT_DIR/events.1.jsonl\"; ") + line + "; echo path", "old\n", std::nullopt },
        { "hangs", "sleep 300", "", "timed out after 1 s" },
        { "cannot start", "#!/nonexistent/interpreter", "", std::generic_category().message(ENOENT) },
    };
    for (auto const& c : cases) {
        fs::remove_all(support());
        fs::remove(settingsFile());
        writeFile(support() / "events.jsonl", R"({"v":1,"ev":"Stop"})"
                                              "\n");
        if (!c.rotatedBefore.empty())
            writeFile(support() / "events.1.jsonl", c.rotatedBefore);
        auto candidate = tool(c.script);
        // A script of its own interpreter line replaces the shell's.
        if (c.script.starts_with("#!"))
            writeFile(candidate, c.script + "\n");

        auto failure = failureOf([&] { connector({ candidate }, 1).install(); });
        if (c.reason)
            EXPECT_EQ(failure, Failure::selftestFailed(*c.reason, support().string())) << c.name;
        else
            EXPECT_EQ(failure, std::nullopt) << c.name;
        // The settings were written before the self-test: the hooks stay in place either way.
        EXPECT_TRUE(connector().isComplete()) << c.name;
    }
}

TEST_F(Connector, WithoutAnExecutableToolNothingIsTouched)
{
    writeFile(home() / "plain", "not executable");
    fs::create_directories(home() / "folder");
    writeFile(settingsFile(), realWorldSettings);
    struct Case {
        std::vector<fs::path> candidates;
        std::string reported;
    } const cases[] = {
        { { home() / "missing", home() / "plain", home() / "folder" }, (home() / "missing").string() },
        { {}, "pupnik-agent" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(failureOf([&] { connector(c.candidates).install(); }), Failure::helperMissing(c.reported));
        EXPECT_FALSE(fs::exists(support()));
        EXPECT_EQ(readFile(settingsFile()), realWorldSettings);
        EXPECT_FALSE(fs::exists(beside()));
    }
    // The first usable candidate wins.
    connector({ home() / "missing", PUPNIK_AGENT_PATH }).install();
    EXPECT_TRUE(connector().isComplete());
}

TEST_F(Connector, QueriesReadTheFileAfreshAndNeverFail)
{
    auto complete = SettingsInstaller::install(json::object(), "/x/pupnik-agent", std::nullopt).settings;
    auto outdated = complete;
    outdated["hooks"]["PermissionRequest"][0]["hooks"][0]["timeout"] = 5;
    auto partial = complete;
    partial["hooks"].erase("Stop");
    json statusLineOnly = { { "statusLine", complete["statusLine"] } };
    struct Case {
        char const* name;
        std::optional<std::string> content;
        bool connected, complete, upgrade;
    } const cases[] = {
        { "missing", std::nullopt, false, false, false },
        { "empty", "", false, false, false },
        { "unparsable", "{", false, false, false },
        { "array", "[]", false, false, false },
        { "foreign only", realWorldSettings, false, false, false },
        { "complete", complete.dump(), true, true, false },
        { "old timeout", outdated.dump(), true, true, true },
        { "one registration missing", partial.dump(), true, false, false },
        { "status line only", statusLineOnly.dump(), true, false, false },
    };
    for (auto const& c : cases) {
        fs::remove(settingsFile());
        if (c.content)
            writeFile(settingsFile(), *c.content);
        EXPECT_EQ(connector().isConnected(), c.connected) << c.name;
        EXPECT_EQ(connector().isComplete(), c.complete) << c.name;
        EXPECT_EQ(connector().needsHookUpgrade(), c.upgrade) << c.name;
    }
}

TEST_F(Connector, AHugeStatusLineEntryIsNotKeptWholeSoTheToolCanStillReadItsConfiguration)
{
    auto huge = json::parse(realWorldSettings);
    huge["statusLine"]["notes"] = std::string(ClaudeConnector::maxDisplacedEntryBytes, 'n');
    writeFile(settingsFile(), huge.dump());
    connector().install();
    auto stored = config();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->forwardStatusLine, userStatusLine);
    EXPECT_FALSE(stored->displacedStatusLine);

    connector().uninstall(false);
    EXPECT_EQ(settings()["statusLine"]["command"], userStatusLine);
}

TEST(ClaudeConnectorDefaults, FindTheAgentsSettingsAndTheInstallationsTool)
{
    EXPECT_EQ(ClaudeConnector::defaultSettingsFile({ { "HOME", "/home/ada" } }), "/home/ada/.claude/settings.json");
    auto candidates = ClaudeConnector::defaultHelperCandidates();
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(fs::weakly_canonical(candidates[0]), fs::weakly_canonical(PUPNIK_AGENT_PATH));
    EXPECT_EQ(candidates[1].filename(), "pupnik-agent");
}

TEST(ClaudeConnectorFailure, NamesItsTextAndArguments)
{
    struct Case {
        Failure failure;
        char const* key;
        std::vector<std::string> strings;
    } const cases[] = {
        { Failure::helperMissing("/a"), "connect.helperMissing", { "/a" } },
        { Failure::settingsUnparsable("/s"), "connect.settingsUnparsable", { "/s" } },
        { Failure::writeFailed("/s", "why"), "connect.writeFailed", { "/s", "why" } },
        { Failure::selftestFailed("exit 1", "/support"), "connect.selftestFailed", { "exit 1", "/support" } },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(c.failure.localizationKey(), c.key);
        EXPECT_EQ(c.failure.strings(), c.strings);
    }
    EXPECT_NE(Failure::writeFailed("/s", "a"), Failure::writeFailed("/s", "b"));
    EXPECT_NE(Failure::helperMissing("/s"), Failure::settingsUnparsable("/s"));
}

TEST(ClaudeConnectorFailure, ItsDescriptionIsItsKeysTextFilledWithItsStringsInOrder)
{
    Localizer const localizer(Language::de,
        { { Language::en,
              { { "connect.writeFailed", "Could not write %@: %@" }, { "connect.selftestFailed", "Self-test failed (%@) in %@" } } },
            { Language::de, { { "connect.writeFailed", "%@ nicht geschrieben: %@" } } } });
    EXPECT_EQ(Failure::writeFailed("/s", "why").localizedDescription(localizer), "/s nicht geschrieben: why");
    EXPECT_EQ(Failure::selftestFailed("exit 1", "/support").localizedDescription(localizer), "Self-test failed (exit 1) in /support");
    // No text anywhere: the key stands in.
    EXPECT_EQ(Failure::helperMissing("/a").localizedDescription(localizer), "connect.helperMissing");
}
