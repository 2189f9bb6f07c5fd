#include "PawletKit/tests/TestSupport.hpp"
#include "platform/AutostartEntry.hpp"

#include <gtest/gtest.h>

using Platform::AutostartEntry;
using Status = AutostartEntry::Status;
using TestSupport::readFile;
using TestSupport::writeFile;
namespace fs = std::filesystem;

TEST(AutostartEntry, LivesInTheUsersAutostartFolder)
{
    struct Case {
        PawletKit::Environment environment;
        fs::path file;
    };
    Case const cases[] = {
        { { { "HOME", "/home/u" } }, "/home/u/.config/autostart/pupnik.desktop" },
        { { { "HOME", "/home/u" }, { "XDG_CONFIG_HOME", "/c" } }, "/c/autostart/pupnik.desktop" },
        { { { "HOME", "/home/u" }, { "XDG_CONFIG_HOME", "relative" } }, "/home/u/.config/autostart/pupnik.desktop" },
        { { { "HOME", "/home/u" }, { "XDG_CONFIG_HOME", "" } }, "/home/u/.config/autostart/pupnik.desktop" },
    };
    for (auto const& test : cases)
        EXPECT_EQ(AutostartEntry::defaultFile(test.environment), test.file);
}

TEST(AutostartEntry, ExecQuotesThePathOnlyWhenItNeedsIt)
{
    struct Case {
        std::string path;
        std::optional<std::string> exec;
    };
    Case const cases[] = {
        { "/usr/bin/Pupnik", "/usr/bin/Pupnik" },
        { "/opt/p-1.2_x+y=z,@/Pupnik", "/opt/p-1.2_x+y=z,@/Pupnik" },
        { "/home/u/My Apps/bin/Pupnik", R"("/home/u/My Apps/bin/Pupnik")" },
        { "/home/u/it's/Pupnik", R"("/home/u/it's/Pupnik")" },
        { "/a~b/Pupnik", R"("/a~b/Pupnik")" },
        { "/a;b/Pupnik", R"("/a;b/Pupnik")" },
        // Escaped for the quoted argument, and each of those backslashes again for the string value
        // (each of these was started through such an entry by GLib's launcher).
        { R"(/a"b/Pupnik)", R"("/a\\"b/Pupnik")" },
        { "/a$HOME/Pupnik", R"("/a\\$HOME/Pupnik")" },
        { "/a`id`/Pupnik", R"("/a\\`id\\`/Pupnik")" },
        { R"(/a\b/Pupnik)", R"("/a\\\\b/Pupnik")" },
        { "/opt/Пупник/Pupnik", "/opt/Пупник/Pupnik" },
        { "bin/Pupnik", std::nullopt },
        { "", std::nullopt },
        { "/a\nExec=/bin/evil", std::nullopt },
        { "/a\tb", std::nullopt },
        // Doubled as the format asks, GLib would look for the program under the doubled name.
        { "/100%u/Pupnik", std::nullopt },
    };
    for (auto const& test : cases) {
        SCOPED_TRACE(test.path);
        EXPECT_EQ(AutostartEntry::execValue(test.path), test.exec);
        EXPECT_EQ(AutostartEntry::contents(test.path).has_value(), test.exec.has_value());
    }
}

TEST(AutostartEntry, StatusReadsWhetherTheEntrySwitchesItselfOff)
{
    struct Case {
        char const* name;
        std::optional<std::string> contents;
        Status status;
    };
    Case const cases[] = {
        { "no file", std::nullopt, Status::absent },
        { "ours", *AutostartEntry::contents("/usr/bin/Pupnik"), Status::enabled },
        { "hidden", "[Desktop Entry]\nExec=Pupnik\nHidden=true\n", Status::disabled },
        { "hidden with blanks", "[Desktop Entry]\nExec=Pupnik\nHidden = true\r\n", Status::disabled },
        { "switched off by the session settings", "[Desktop Entry]\nExec=Pupnik\nX-GNOME-Autostart-enabled=false\n", Status::disabled },
        { "explicitly shown", "[Desktop Entry]\nExec=Pupnik\nHidden=false\n", Status::enabled },
        { "hidden in a comment", "[Desktop Entry]\n# Hidden=true\nExec=Pupnik\n", Status::enabled },
        { "hidden in another group", "[Desktop Entry]\nExec=Pupnik\n[Desktop Action x]\nHidden=true\n", Status::enabled },
        { "empty", "", Status::enabled },
        { "oversized", std::string(AutostartEntry::maxFileBytes + 1, '#'), Status::absent },
    };
    for (auto const& test : cases) {
        SCOPED_TRACE(test.name);
        TestSupport::TemporaryDirectory folder;
        auto file = folder.path() / "pupnik.desktop";
        if (test.contents)
            writeFile(file, *test.contents);
        EXPECT_EQ(AutostartEntry(file).status(), test.status);
    }
}

TEST(AutostartEntry, EnableAndDisable)
{
    TestSupport::TemporaryDirectory folder;
    auto file = folder.path() / "config" / "autostart" / "pupnik.desktop";
    AutostartEntry entry(file);

    entry.disable();
    entry.enable("/opt/pupnik/bin/Pupnik");
    EXPECT_EQ(readFile(file),
        "[Desktop Entry]\nType=Application\nName=Pupnik\nExec=/opt/pupnik/bin/Pupnik\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
    EXPECT_EQ(TestSupport::fileMode(file), 0644u);
    EXPECT_EQ(entry.status(), Status::enabled);

    entry.disable();
    EXPECT_FALSE(fs::exists(fs::symlink_status(file)));
    EXPECT_EQ(entry.status(), Status::absent);

    // A path no entry can carry is refused before anything is written.
    try {
        entry.enable("relative/Pupnik");
        ADD_FAILURE() << "a relative path was accepted";
    } catch (std::system_error const& error) {
        EXPECT_EQ(error.code(), std::errc::invalid_argument);
    }
    EXPECT_FALSE(fs::exists(file));
}

TEST(AutostartEntry, DisablingALinkedEntryKeepsItsTarget)
{
    TestSupport::TemporaryDirectory folder;
    auto target = folder.path() / "dotfiles" / "pupnik.desktop";
    writeFile(target, "[Desktop Entry]\nExec=Pupnik\n");
    auto file = folder.path() / "autostart" / "pupnik.desktop";
    fs::create_directories(file.parent_path());
    fs::create_symlink(target, file);
    AutostartEntry entry(file);
    EXPECT_EQ(entry.status(), Status::enabled);

    entry.disable();
    EXPECT_FALSE(fs::exists(fs::symlink_status(file)));
    EXPECT_EQ(readFile(target), "[Desktop Entry]\nExec=Pupnik\n");
}
