#include "PawletKit/AgentConfig.hpp"

#include "TestSupport.hpp"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace PawletKit;
using JSON::Value;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(fs::path const& folder)
{
    std::vector<std::string> names;
    for (auto const& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}

TEST(AgentConfig, ReadsLenientlyWithDefaults)
{
    struct Case {
        char const* json;
        std::optional<AgentConfig> expected;
    };
    Case const cases[] = {
        { "{}", AgentConfig { 1, std::nullopt, Date::fromSeconds(0) } },
        { "[]", std::nullopt },
        { R"J("text")J", std::nullopt },
        { "null", std::nullopt },
        { R"J({"forwardStatusLine": " \n\t"})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(0) } },
        { R"J({"forwardStatusLine": null})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(0) } },
        { R"J({"forwardStatusLine": true})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(0) } },
        { R"J({"forwardStatusLine": 42})J", AgentConfig { 1, "42", Date::fromSeconds(0) } },
        { R"J({"forwardStatusLine": "  ~/sl.sh --fast \n"})J", AgentConfig { 1, "~/sl.sh --fast", Date::fromSeconds(0) } },
        { R"J({"forwardStatusLine": "\u00A0ccusage\u2028"})J", AgentConfig { 1, "ccusage", Date::fromSeconds(0) } },
        { R"J({"version": 2.9})J", AgentConfig { 2, std::nullopt, Date::fromSeconds(0) } },
        { R"J({"version": "7"})J", AgentConfig { 7, std::nullopt, Date::fromSeconds(0) } },
        { R"J({"version": true})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(0) } },
        { R"J({"installedAt": 1700000000})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(0) } },
        { R"J({"installedAt": "1700000000"})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(1700000000) } },
        { R"J({"installedAt": "2026-12-09T09:40:58Z"})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(1796809258) } },
        { R"J({"installedAt": "2026-12-09T09:40:58.250Z"})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(1796809258.25) } },
        { R"J({"installedAt": "yesterday"})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(0) } },
        { R"J({"displacedStatusLine": {"command": "sl.sh", "padding": 2}})J",
            AgentConfig { 1, std::nullopt, Date::fromSeconds(0), Value { { "command", "sl.sh" }, { "padding", 2 } } } },
        { R"J({"displacedStatusLine": "sl.sh"})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(0) } },
        { R"J({"displacedStatusLine": null})J", AgentConfig { 1, std::nullopt, Date::fromSeconds(0) } },
    };
    for (auto const& c : cases) {
        Value value = JSON::parse(c.json);
        EXPECT_EQ(AgentConfig::fromJSON(&value), c.expected) << c.json;
    }
}

TEST(AgentConfig, LoadTurnsEveryFailureIntoNothing)
{
    TestSupport::TemporaryDirectory folder;
    fs::path file = folder.path() / "config.json";
    EXPECT_EQ(AgentConfig::load(file), std::nullopt);
    TestSupport::writeFile(file, "{\"version\": 1, ");
    EXPECT_EQ(AgentConfig::load(file), std::nullopt);
    TestSupport::writeFile(file, "{\"forwardStatusLine\": \"\xFF\"}");
    EXPECT_EQ(AgentConfig::load(file), std::nullopt);
    TestSupport::writeFile(file, "{\"forwardStatusLine\": \"x\"}" + std::string(AgentConfig::maxFileBytes, ' '));
    EXPECT_EQ(AgentConfig::load(file), std::nullopt);
    EXPECT_EQ(AgentConfig::load(folder.path()), std::nullopt);
    ASSERT_EQ(::mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(AgentConfig::load(folder.path() / "fifo"), std::nullopt);
    TestSupport::writeFile(file, " {\"forwardStatusLine\": \"x\"}\n");
    EXPECT_EQ(AgentConfig::load(file), (AgentConfig { 1, "x", Date::fromSeconds(0) }));
}

TEST(AgentConfig, SaveWritesThePrivateFileInPlace)
{
    TestSupport::TemporaryDirectory folder;
    fs::path file = folder.path() / "support" / "config.json";
    // A permissive umask must not widen the file.
    mode_t previousMask = ::umask(0);
    AgentConfig { 1, std::nullopt, Date::fromSeconds(1796809258.9) }.save(file);
    ::umask(previousMask);

    EXPECT_EQ(TestSupport::readFile(file),
        "{\n  \"forwardStatusLine\": null,\n  \"installedAt\": \"2026-12-09T09:40:58Z\",\n  \"version\": 1\n}");
    EXPECT_EQ(TestSupport::fileMode(file), 0600u);
    EXPECT_EQ(TestSupport::fileMode(file.parent_path()), 0700u);

    AgentConfig second { 1, "~/bin/status line.sh", Date::fromSeconds(1800000000) };
    second.save(file);
    EXPECT_EQ(AgentConfig::load(file), second);
    EXPECT_NE(TestSupport::readFile(file).find("\"~/bin/status line.sh\""), std::string::npos);
    EXPECT_EQ(namesIn(file.parent_path()), std::vector<std::string> { "config.json" });
    EXPECT_EQ(TestSupport::readFile(file).find("displacedStatusLine"), std::string::npos);

    AgentConfig withEntry { 1, "sl.sh", Date::fromSeconds(1800000000), Value { { "type", "command" }, { "command", " sl.sh" }, { "refreshInterval", 10 } } };
    withEntry.save(file);
    EXPECT_EQ(AgentConfig::load(file), withEntry);

    // A link planted at a temporary name of this process is never written through.
    fs::path leftover = file.parent_path() / (".config.json." + std::to_string(getpid()) + ".tmp");
    fs::create_symlink(folder.path() / "elsewhere", leftover);
    second.save(file);
    EXPECT_FALSE(fs::exists(folder.path() / "elsewhere"));
    EXPECT_EQ(AgentConfig::load(file), second);
    EXPECT_EQ(namesIn(file.parent_path()), (std::vector<std::string> { ".config.json." + std::to_string(getpid()) + ".tmp", "config.json" }));
}

TEST(AgentConfig, SaveReportsEveryFailure)
{
    TestSupport::TemporaryDirectory folder;
    AgentConfig config { 1, "x", Date::fromSeconds(1) };

    // The folder cannot be made: a file stands where it should be.
    TestSupport::writeFile(folder.path() / "plain", "x");
    EXPECT_THROW(config.save(folder.path() / "plain" / "config.json"), std::system_error);

    // The rename fails: a folder stands at the target. Nothing is left behind.
    fs::create_directory(folder.path() / "config.json");
    EXPECT_THROW(config.save(folder.path() / "config.json"), std::system_error);
    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string> { "config.json", "plain" }));

    // Text that JSON cannot carry is reported, and the file in place stays as it was.
    fs::path file = folder.path() / "kept" / "config.json";
    config.save(file);
    std::string before = TestSupport::readFile(file);
    AgentConfig unencodable { 1, std::string("bad \xC3"), Date::fromSeconds(2) };
    try {
        unencodable.save(file);
        ADD_FAILURE() << "saved a configuration it could not encode";
    } catch (std::system_error const& error) {
        EXPECT_EQ(error.code(), std::errc::illegal_byte_sequence);
    }
    EXPECT_EQ(TestSupport::readFile(file), before);
    EXPECT_EQ(namesIn(file.parent_path()), std::vector<std::string> { "config.json" });
}
