#include "PawletKit/tests/TestSupport.hpp"
#include "platform/InstanceSocket.hpp"

#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>

using Platform::InstanceSocket;
namespace fs = std::filesystem;

TEST(InstanceSocket, FolderIsTheUsersRuntimeFolderWhenItIsAbsoluteElseOneInTmp)
{
    struct Case {
        char const* runtime;
        char const* folder;
    } const cases[] = {
        { "/run/user/1000", "/run/user/1000/pupnik" },
        { "/run/user/1000/", "/run/user/1000/pupnik" },
        { "/run/user/../user/1000", "/run/user/1000/pupnik" },
        { "run/user/1000", "/tmp/pupnik-1000" },
        { "", "/tmp/pupnik-1000" },
        { nullptr, "/tmp/pupnik-1000" },
    };
    for (auto const& c : cases) {
        PawletKit::Environment environment { { "HOME", "/home/ann" } };
        if (c.runtime)
            environment["XDG_RUNTIME_DIR"] = c.runtime;
        EXPECT_EQ(InstanceSocket::folder(environment, 1000), fs::path(c.folder)) << (c.runtime ? c.runtime : "(unset)");
    }
}

TEST(InstanceSocket, OneNamePerSupportFolderHoweverItIsWritten)
{
    auto const name = InstanceSocket::socketName("/home/ann/.local/share/Pupnik");
    EXPECT_TRUE(std::regex_match(name, std::regex("[0-9a-f]{16}\\.socket"))) << name;
    EXPECT_EQ(InstanceSocket::socketName("/home/ann/.local/share/Pupnik/"), name);
    EXPECT_EQ(InstanceSocket::socketName("/home/ann/.local/./share/Pupnik"), name);
    EXPECT_EQ(InstanceSocket::socketName("/home/ann/.local/share/x/../Pupnik"), name);
    EXPECT_NE(InstanceSocket::socketName("/home/ann/.local/share/Pupnik-test"), name);
    EXPECT_NE(InstanceSocket::socketName("/home/bob/.local/share/Pupnik"), name);
}

TEST(InstanceSocket, OnlyAClosedDirectoryOfTheUsersOwnMayHoldIt)
{
    using Facts = InstanceSocket::FolderFacts;
    struct Case {
        char const* name;
        Facts facts;
        char const* problem;
    } const cases[] = {
        { "closed", { true, true, 1000, S_IFDIR | 0700 }, nullptr },
        { "closed, sticky", { true, true, 1000, S_IFDIR | 01700 }, nullptr },
        { "missing", { false, false, 0, 0 }, "it does not exist" },
        // A link reads as no directory: lstat does not follow it.
        { "link or file", { true, false, 1000, S_IFLNK | 0777 }, "it is not a directory" },
        { "another user's", { true, true, 1001, S_IFDIR | 0700 }, "it belongs to user 1001" },
        { "root's", { true, true, 0, S_IFDIR | 0700 }, "it belongs to user 0" },
        { "group may read", { true, true, 1000, S_IFDIR | 0750 }, "others may enter it (mode 0750)" },
        { "others may pass", { true, true, 1000, S_IFDIR | 0701 }, "others may enter it (mode 0701)" },
        { "world writable", { true, true, 1000, S_IFDIR | 01777 }, "others may enter it (mode 1777)" },
    };
    for (auto const& c : cases) {
        auto const problem = InstanceSocket::folderProblem(c.facts, 1000);
        if (c.problem) {
            EXPECT_EQ(problem, std::optional<std::string>(c.problem)) << c.name;
        } else {
            EXPECT_EQ(problem, std::nullopt) << c.name;
        }
    }
}

TEST(InstanceSocket, TheServerMakesTheFolderClosedAndAClientOnlyLooks)
{
    TestSupport::TemporaryDirectory runtime;
    PawletKit::Environment const environment { { "XDG_RUNTIME_DIR", runtime.path().string() } };
    auto const uid = ::geteuid();

    auto const looked = InstanceSocket::locate(environment, uid, "/support", false);
    EXPECT_FALSE(looked.path);
    EXPECT_NE(looked.problem.find("it does not exist"), std::string::npos) << looked.problem;
    EXPECT_FALSE(fs::exists(runtime.path() / "pupnik"));

    ::umask(0);
    auto const made = InstanceSocket::locate(environment, uid, "/support", true);
    ::umask(022);
    ASSERT_TRUE(made.path) << made.problem;
    EXPECT_EQ(*made.path, runtime.path() / "pupnik" / InstanceSocket::socketName("/support"));
    struct stat status { };
    ASSERT_EQ(::lstat((runtime.path() / "pupnik").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    EXPECT_EQ(InstanceSocket::locate(environment, uid, "/support", false).path, made.path);
}

TEST(InstanceSocket, AnOpenedOrPlantedFolderIsRefused)
{
    TestSupport::TemporaryDirectory runtime;
    PawletKit::Environment const environment { { "XDG_RUNTIME_DIR", runtime.path().string() } };
    auto const folder = runtime.path() / "pupnik";

    fs::create_directory(folder);
    ::chmod(folder.c_str(), 0755);
    auto const opened = InstanceSocket::locate(environment, ::geteuid(), "/support", true);
    EXPECT_FALSE(opened.path);
    EXPECT_NE(opened.problem.find("others may enter it (mode 0755)"), std::string::npos) << opened.problem;

    fs::remove(folder);
    fs::create_directory(runtime.path() / "elsewhere");
    ::chmod((runtime.path() / "elsewhere").c_str(), 0700);
    fs::create_directory_symlink(runtime.path() / "elsewhere", folder);
    auto const planted = InstanceSocket::locate(environment, ::geteuid(), "/support", true);
    EXPECT_FALSE(planted.path);
    EXPECT_NE(planted.problem.find("it is not a directory"), std::string::npos) << planted.problem;
}

TEST(InstanceSocket, APathTooLongForASocketIsRefused)
{
    TestSupport::TemporaryDirectory runtime;
    auto const deep = runtime.path() / std::string(100, 'r');
    fs::create_directory(deep);
    PawletKit::Environment const environment { { "XDG_RUNTIME_DIR", deep.string() } };
    auto const location = InstanceSocket::locate(environment, ::geteuid(), "/support", true);
    EXPECT_FALSE(location.path);
    EXPECT_NE(location.problem.find("is too long"), std::string::npos) << location.problem;
}
