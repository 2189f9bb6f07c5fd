#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/ConnectionActions.hpp"
#include "Pupnik/ScriptedAlertPresenter.hpp"
#include "Pupnik/tests/FocusTestDesk.hpp"
#include "app-core/Localized.hpp"
#include "app-core/Localizer.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace Pupnik;
using nlohmann::json;
using PupnikCore::ClaudeConnector;
using PupnikCore::localized;
using PupnikCore::localizedFormat;
using TestSupport::readFile;
using TestSupport::writeFile;
namespace fs = std::filesystem;

namespace {

std::string const userSettings = R"J({
  "model": "opus",
  "hooks": { "PreToolUse": [ { "matcher": "Bash", "hooks": [ { "type": "command", "command": "~/bin/check.sh", "timeout": 30 } ] } ] },
  "statusLine": { "type": "command", "command": "~/.claude/statusline.sh", "padding": 0 }
}
)J";

// A home folder of its own with the coding agent's settings in it, and the real agent tool.
class ConnectionHome : public testing::Test {
protected:
    void SetUp() override
    {
        PupnikCore::Localizer::shared().setChoice(PupnikCore::Language::en, {});
        writeFile(settingsFile(), userSettings);
    }

    fs::path home() const { return m_home.path(); }
    fs::path settingsFile() const { return home() / ".claude" / "settings.json"; }
    PawletKit::Environment environment() const { return { { "HOME", home().string() }, { "PATH", "/usr/bin:/bin" } }; }
    PawletKit::Paths paths() const { return PawletKit::Paths(environment()); }
    fs::path support() const { return paths().base(); }
    fs::path missingTool() const { return home() / "nowhere" / "pupnik-agent"; }
    json settings() const { return json::parse(readFile(settingsFile())); }

    // Generous, so a loaded machine or a sanitizer build never fails the self-test.
    ClaudeConnector connector(fs::path tool = PUPNIK_AGENT_PATH) const
    {
        return ClaudeConnector(settingsFile(), paths(), { tool }, environment(), m_clock, nullptr, 120);
    }

private:
    TestSupport::TemporaryDirectory m_home;
    Platform::SystemClock m_clock;
};

struct InstallCase {
    char const* name;
    void (ConnectionActions::*action)();
    bool toolPresent;
    bool hasDriver;
    char const* titleKey;
    Alert::Style style;
};

}

TEST_F(ConnectionHome, ConnectAndUpdateReportTheirOutcomeAfterOneTick)
{
    InstallCase const cases[] = {
        { "connect", &ConnectionActions::connect, true, true, "connect.done.title", Alert::Style::informational },
        { "connect in a demo, without a driver", &ConnectionActions::connect, true, false, "connect.done.title", Alert::Style::informational },
        { "connect without the agent tool", &ConnectionActions::connect, false, true, "connect.fail.title", Alert::Style::critical },
        { "update", &ConnectionActions::updateHooks, true, true, "update.done.title", Alert::Style::informational },
        { "update without the agent tool", &ConnectionActions::updateHooks, false, true, "connect.fail.title", Alert::Style::critical },
    };
    for (auto const& test : cases) {
        SCOPED_TRACE(test.name);
        writeFile(settingsFile(), userSettings);
        auto hooks = connector(test.toolPresent ? fs::path(PUPNIK_AGENT_PATH) : missingTool());
        ScriptedAlertPresenter alerts;
        std::vector<size_t> alertsBeforeTick;
        std::function<void()> tick;
        if (test.hasDriver)
            tick = [&] { alertsBeforeTick.push_back(alerts.shown().size()); };
        ConnectionActions actions(hooks, paths(), tick, alerts);

        (actions.*test.action)();

        ASSERT_EQ(alerts.titles(), std::vector<std::string> { localized(test.titleKey) });
        auto const& alert = alerts.shown().front();
        EXPECT_EQ(alert.style, test.style);
        EXPECT_EQ(alert.buttons, std::vector<std::string> { localized("ok") });
        EXPECT_EQ(hooks.isConnected(), test.toolPresent);
        // One tick, before the alert, and only for a connection that was made.
        auto expectedTicks = test.toolPresent && test.hasDriver ? std::vector<size_t> { 0 } : std::vector<size_t> {};
        EXPECT_EQ(alertsBeforeTick, expectedTicks);
        if (!test.toolPresent) {
            EXPECT_EQ(alert.text, localizedFormat("connect.helperMissing", { missingTool().string() }));
            EXPECT_EQ(readFile(settingsFile()), userSettings);
        }
        if (test.toolPresent)
            hooks.uninstall(true);
    }
}

TEST_F(ConnectionHome, ConnectingWithoutAPreviousFileSaysThereIsNoBackup)
{
    fs::remove(settingsFile());
    ScriptedAlertPresenter alerts;
    auto hooks = connector();
    ConnectionActions actions(hooks, paths(), {}, alerts);
    actions.connect();
    ASSERT_EQ(alerts.shown().size(), 1u);
    EXPECT_EQ(alerts.shown()[0].text, localizedFormat("connect.done.body.noBackup", { settingsFile().string() }));
    EXPECT_EQ(alerts.shown()[0].text.find("\xE2\x80\x94"), std::string::npos) << "no dash where a backup's path would be";
    hooks.uninstall(true);
}

TEST_F(ConnectionHome, SuccessTextsNameTheSettingsFileTheBackupAndTheWait)
{
    ScriptedAlertPresenter alerts;
    auto hooks = connector();
    ConnectionActions actions(hooks, paths(), {}, alerts);
    actions.connect();
    actions.updateHooks();
    ASSERT_EQ(alerts.shown().size(), 2u);

    auto backup = (settingsFile().parent_path() / "settings.json.pupnik.bak").string();
    EXPECT_EQ(readFile(backup), readFile(settingsFile())) << "the update backs up the connected file";
    EXPECT_EQ(alerts.shown()[0].text, localizedFormat("connect.done.body", { settingsFile().string(), backup }));
    EXPECT_NE(alerts.shown()[0].text.find(settingsFile().string()), std::string::npos);
    EXPECT_EQ(alerts.shown()[1].text, localizedFormat("update.done.body", { std::int64_t(120), backup }));
    // The wait is an integer argument: given as anything else the number would not show.
    EXPECT_NE(alerts.shown()[1].text.find("120"), std::string::npos);
    EXPECT_NE(alerts.shown()[1].text.find(backup), std::string::npos);
}

TEST_F(ConnectionHome, DisconnectDoesWhatTheConfirmationAnswerSays)
{
    struct Case {
        char const* name;
        int answer;
        bool disconnects;
        bool deletesData;
    };
    Case const cases[] = {
        { "keep the data", Alert::firstButton, true, false },
        { "delete the data", Alert::secondButton, true, true },
        { "cancel", Alert::thirdButton, false, false },
    };
    for (auto const& test : cases) {
        SCOPED_TRACE(test.name);
        writeFile(settingsFile(), userSettings);
        auto hooks = connector();
        ScriptedAlertPresenter alerts({ Alert::firstButton, test.answer });
        ConnectionActions actions(hooks, paths(), {}, alerts);
        actions.connect();
        ASSERT_TRUE(hooks.isConnected());
        auto connected = readFile(settingsFile());
        // A file of the user's in the support folder, which they may have named themselves.
        writeFile(support() / "notes.txt", "mine");

        actions.disconnect();

        auto const& confirmation = alerts.shown().at(1);
        EXPECT_EQ(confirmation.title, localized("disconnect.title"));
        EXPECT_EQ(confirmation.text, localizedFormat("disconnect.body", { support().string() }));
        EXPECT_EQ(confirmation.style, Alert::Style::warning);
        EXPECT_EQ(confirmation.buttons, (std::vector<std::string> { localized("disconnect.keep"), localized("disconnect.delete"), localized("disconnect.cancel") }));

        if (test.disconnects) {
            EXPECT_EQ(alerts.titles().back(), localized("disconnect.done.title"));
            EXPECT_EQ(alerts.shown().back().text, localized("disconnect.done.body"));
            EXPECT_EQ(alerts.shown().size(), 3u);
            EXPECT_EQ(settings(), json::parse(userSettings));
            EXPECT_FALSE(hooks.isConnected());
        } else {
            EXPECT_EQ(alerts.shown().size(), 2u);
            EXPECT_EQ(readFile(settingsFile()), connected);
        }
        EXPECT_EQ(fs::exists(support() / "bin" / "pupnik-agent"), !test.deletesData);
        EXPECT_EQ(fs::exists(support() / "config.json"), !test.deletesData);
        EXPECT_EQ(fs::exists(support() / "events.jsonl"), !test.deletesData);
        // Deleting never takes what is not ours: no recursive removal of the folder.
        EXPECT_EQ(readFile(support() / "notes.txt"), "mine");

        hooks.uninstall(true);
        fs::remove(support() / "notes.txt");
    }
}

TEST_F(ConnectionHome, AFailedDisconnectStopsBeforeAnyData)
{
    ScriptedAlertPresenter alerts({ Alert::firstButton, Alert::secondButton });
    auto hooks = connector();
    ConnectionActions actions(hooks, paths(), {}, alerts);
    actions.connect();
    writeFile(settingsFile(), "{ \"hooks\": ");

    actions.disconnect();

    EXPECT_EQ(alerts.titles(), (std::vector<std::string> { localized("connect.done.title"), localized("disconnect.title"), localized("disconnect.fail.title") }));
    EXPECT_EQ(alerts.shown().back().style, Alert::Style::critical);
    EXPECT_EQ(alerts.shown().back().text, localizedFormat("connect.settingsUnparsable", { settingsFile().string() }));
    EXPECT_EQ(readFile(settingsFile()), "{ \"hooks\": ");
    EXPECT_TRUE(fs::exists(support() / "bin" / "pupnik-agent"));
}

// The self-test may take seconds: the connector works off the main thread while the event loop turns,
// and whatever the user chooses meanwhile is refused rather than run against the half-made connection.
TEST_F(ConnectionHome, WithAWaiterTheConnectorWorksOffTheMainThreadAndOneActionAtATime)
{
    Platform::ManualClock clock;
    FocusTest::ScriptedWait wait(clock);
    ScriptedAlertPresenter alerts({ Alert::firstButton, Alert::firstButton });
    auto hooks = connector();
    int ticks = 0;
    ConnectionActions actions(
        hooks, paths(), [&] { ++ticks; }, alerts, &wait);
    int nested = 0;
    wait.whileWorking = [&] {
        if (nested++)
            return;
        actions.connect();
        actions.disconnect();
    };
    testing::internal::CaptureStderr();
    actions.connect();
    std::string const log = testing::internal::GetCapturedStderr();

    EXPECT_EQ(wait.workOffMainThread, 1);
    EXPECT_TRUE(hooks.isConnected());
    EXPECT_EQ(ticks, 1);
    // The refused disconnect still asked first; nothing else was shown until the connect's own alert.
    EXPECT_EQ(alerts.titles(), (std::vector<std::string> { localized("disconnect.title"), localized("connect.done.title") }));
    EXPECT_EQ(log,
        "[Pupnik] connect: still busy with the last connection change; this one is ignored\n"
        "[Pupnik] connect: still busy with the last connection change; this one is ignored\n");

    // A failure on the other thread reaches the user as before.
    wait.whileWorking = {};
    auto missing = connector(missingTool());
    ScriptedAlertPresenter failures;
    ConnectionActions failing(missing, paths(), {}, failures, &wait);
    failing.connect();
    EXPECT_EQ(failures.titles(), std::vector<std::string> { localized("connect.fail.title") });
    hooks.uninstall(true);
}
