#include "PawletKit/AtomicFile.hpp"
#include "PawletKit/UserFile.hpp"
#include "PawletKit/tests/TestSupport.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace PawletKit;
using Outcome = UserFile::Reading::Outcome;
namespace fs = std::filesystem;
using TestSupport::readFile;
using TestSupport::writeFile;

TEST(UserFile, ReadsOnlyRegularFilesAndSaysWhyNot)
{
    TestSupport::TemporaryDirectory folder;
    auto const& root = folder.path();
    writeFile(root / "settings.json", "{}");
    writeFile(root / "big.json", std::string(101, ' '));
    fs::create_directory(root / "folder");
    ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
    fs::create_symlink("settings.json", root / "link");
    fs::create_symlink("nowhere.json", root / "dangling");

    struct Case {
        char const* name;
        Outcome outcome;
        char const* bytes;
    } const cases[] = {
        { "settings.json", Outcome::read, "{}" },
        { "link", Outcome::read, "{}" },
        { "missing.json", Outcome::missing, "" },
        { "dangling", Outcome::missing, "" },
        { "folder", Outcome::notRegular, "" },
        // Opened for reading, a FIFO without a writer would block.
        { "fifo", Outcome::notRegular, "" },
        { "big.json", Outcome::tooLarge, "" },
        { "settings.json/child", Outcome::unreadable, "" },
    };
    for (auto const& c : cases) {
        auto reading = UserFile::read(root / c.name, 100);
        EXPECT_EQ(reading.outcome, c.outcome) << c.name;
        EXPECT_EQ(reading.bytes, c.bytes) << c.name;
    }
    EXPECT_EQ(UserFile::read(root / "settings.json/child", 100).error, ENOTDIR);
}

TEST(UserFile, WritesThroughLinksToTheTargetKeepingItsMode)
{
    TestSupport::TemporaryDirectory folder;
    auto const& root = folder.path();
    writeFile(root / "dotfiles" / "claude" / "settings.json", "old");
    ::chmod((root / "dotfiles" / "claude" / "settings.json").c_str(), 0640);
    fs::create_directories(root / "home" / ".claude");
    // A relative link to a link, as dotfile managers chain them.
    fs::create_symlink("../dotfiles/claude/settings.json", root / "home" / "stow.json");
    fs::create_symlink("../stow.json", root / "home" / ".claude" / "settings.json");

    auto settings = root / "home" / ".claude" / "settings.json";
    EXPECT_EQ(fs::canonical(UserFile::resolve(settings)), fs::canonical(root / "dotfiles" / "claude" / "settings.json"));
    EXPECT_FALSE(fs::is_symlink(UserFile::resolve(settings)));
    UserFile::write(settings, "new", 0600);
    EXPECT_TRUE(fs::is_symlink(settings));
    EXPECT_EQ(fs::read_symlink(settings), "../stow.json");
    EXPECT_EQ(readFile(root / "dotfiles" / "claude" / "settings.json"), "new");
    EXPECT_EQ(TestSupport::fileMode(root / "dotfiles" / "claude" / "settings.json"), 0640u);
}

TEST(UserFile, ANewFileTakesTheGivenModeAndAFolderIsRefused)
{
    TestSupport::TemporaryDirectory folder;
    auto const& root = folder.path();
    fs::create_symlink("target.json", root / "dangling");
    UserFile::write(root / "dangling", "made", 0600);
    EXPECT_TRUE(fs::is_symlink(root / "dangling"));
    EXPECT_EQ(readFile(root / "target.json"), "made");
    EXPECT_EQ(TestSupport::fileMode(root / "target.json"), 0600u);

    fs::create_directory(root / "folder");
    EXPECT_THROW(UserFile::write(root / "folder", "x", 0600), std::system_error);
    EXPECT_TRUE(fs::is_directory(root / "folder"));

    fs::create_symlink("loop", root / "loop");
    EXPECT_THROW(UserFile::write(root / "loop", "x", 0600), std::system_error);
}

TEST(AtomicFile, CopiesARegularFileWithTheModeAndRefusesAnythingElse)
{
    TestSupport::TemporaryDirectory folder;
    auto const& root = folder.path();
    std::string tool(200'000, 'x');
    tool += "end";
    writeFile(root / "tool", tool);
    writeFile(root / "bin" / "installed", "previous");
    AtomicFile::copy(root / "tool", root / "bin" / "installed", 0755);
    EXPECT_EQ(readFile(root / "bin" / "installed"), tool);
    EXPECT_EQ(TestSupport::fileMode(root / "bin" / "installed"), 0755u);

    ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
    fs::create_directory(root / "folder");
    for (auto const& source : { root / "fifo", root / "folder", root / "missing" })
        EXPECT_THROW(AtomicFile::copy(source, root / "bin" / "installed", 0755), std::system_error) << source;
    EXPECT_EQ(readFile(root / "bin" / "installed"), tool);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "bin"), fs::directory_iterator()), 1);
}
