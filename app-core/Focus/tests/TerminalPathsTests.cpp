#include "app-core/Focus/TerminalPaths.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;

TEST(TerminalPaths, SanitizesWorkingDirectories)
{
    std::string const longest = "/" + std::string(1023, 'a');
    std::string const tooLong = longest + "a";
    // 1024 characters that take two bytes each are still 1024 characters.
    std::string wide = "/";
    for (int i = 0; i < 1023; ++i)
        wide += "\xC3\xA9";
    struct Case {
        std::optional<std::string_view> cwd;
        std::optional<std::string> expected;
    };
    Case const cases[] = {
        { "/Users/me/project/", "/Users/me/project" },
        { " \t/tmp/x\n", "/tmp/x" },
        { "/home/me/a b", "/home/me/a b" },
        { "///", "/" },
        { "/", "/" },
        { "/a//", "/a" },
        { longest, longest },
        { wide, wide },
        { tooLong, std::nullopt },
        { "/tmp/a\nb", std::nullopt },
        { std::string_view("/tmp/a\0b", 8), std::nullopt },
        { "relative/path", std::nullopt },
        { "~/project", std::nullopt },
        { "", std::nullopt },
        { " \n", std::nullopt },
        { std::nullopt, std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(TerminalPaths::sanitizeCwd(c.cwd), c.expected) << c.cwd.value_or("(none)").substr(0, 40);
}

TEST(TerminalPaths, NamesTheLastComponent)
{
    struct Case {
        std::optional<std::string_view> cwd;
        std::optional<std::string> expected;
    };
    Case const cases[] = {
        { "/Users/me/MyApp", "MyApp" },
        { "/srv//api///", "api" },
        { "/", std::nullopt },
        { "///", std::nullopt },
        { "relative/name", std::nullopt },
        { std::nullopt, std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(TerminalPaths::basename(c.cwd), c.expected) << c.cwd.value_or("(none)");
}

TEST(TerminalPaths, ReadsWindowDocuments)
{
    struct Case {
        std::optional<std::string_view> document;
        std::optional<std::string> expected;
    };
    Case const cases[] = {
        { "/Users/me/lib", "/Users/me/lib" },
        { "file:///Users/me/app/", "/Users/me/app" },
        { "file://localhost/home/me/My%20App", "/home/me/My App" },
        { "file:///home/me/caf%C3%A9?x=1#top", "/home/me/caf\xC3\xA9" },
        { "  file:///tmp/x \n", "/tmp/x" },
        // Escapes that are broken or decode into something a directory cannot hold.
        { "file:///home/me/100%", std::nullopt },
        { "file:///home/me/%zz", std::nullopt },
        { "file:///home/%FF", std::nullopt },
        { "file:///home/a%0Ab", std::nullopt },
        { "file:///home/a%00b", std::nullopt },
        { "file://host", std::nullopt },
        { "http://example.com/home", std::nullopt },
        { "File:///tmp", std::nullopt },
        { "relative", std::nullopt },
        { "", std::nullopt },
        { std::nullopt, std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(TerminalPaths::documentPath(c.document), c.expected) << c.document.value_or("(none)");
}
