#include "PawletKit/Paths.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace PawletKit;
namespace fs = std::filesystem;

TEST(Paths, SupportDirectoryFromEnvironment)
{
    struct Case {
        Environment environment;
        fs::path expected;
    };
    Case const cases[] = {
        { { { "PUPNIK_SUPPORT_DIR", " \n\t" }, { "HOME", "/home/u" } }, "/home/u/.local/share/Pupnik" },
        { { { "HOME", "/home/u" }, { "XDG_DATA_HOME", "/data" } }, "/data/Pupnik" },
        { { { "HOME", "/home/u" }, { "XDG_DATA_HOME", "relative" } }, "/home/u/.local/share/Pupnik" },
        { { { "PUPNIK_SUPPORT_DIR", "  /tmp/x  " } }, "/tmp/x" },
        { { { "PUPNIK_SUPPORT_DIR", "\u00A0/tmp/y\u2028" } }, "/tmp/y" },
        { { { "PUPNIK_SUPPORT_DIR", "/tmp/a/../b/./c/" } }, "/tmp/b/c" },
        { { { "PUPNIK_SUPPORT_DIR", "~/x" } }, fs::current_path() / "~/x" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(Paths(c.environment).base(), c.expected);
    Paths paths = Paths::withBase("/s");
    EXPECT_EQ(paths.spool(), "/s/events.jsonl");
    EXPECT_EQ(paths.rotatedSpool(), "/s/events.1.jsonl");
    EXPECT_EQ(paths.agentTool(), "/s/bin/pupnik-agent");
    EXPECT_EQ(paths.approvalsDirectory(), "/s/approvals");
    EXPECT_EQ(paths.config(), "/s/config.json");
    EXPECT_EQ(paths.agentLog(), "/s/agent.log");
    EXPECT_EQ(Paths::withBase("/s/"), paths);
}

TEST(Paths, EnsureDirectory)
{
    fs::path root = fs::temp_directory_path() / ("paths-test-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::path nested = root / "a" / "b" / "c";
    Paths::ensureDirectory(nested);
    struct stat info { };
    ASSERT_EQ(stat(nested.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    chmod(nested.c_str(), 0755);
    Paths::ensureDirectory(nested);
    stat(nested.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0755u);

    std::ofstream(root / "file") << "x";
    EXPECT_THROW(Paths::ensureDirectory(root / "file"), std::system_error);
    EXPECT_THROW(Paths::ensureDirectory(root / "file" / "below"), std::system_error);

    Paths paths = Paths::withBase(root / "support");
    paths.ensureDirectories();
    EXPECT_TRUE(fs::is_directory(paths.binDirectory()));
    fs::remove_all(root);
}
