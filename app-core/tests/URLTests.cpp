#include "app-core/URL.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;

TEST(URL, ComponentsOfWellFormedURLs)
{
    using Optional = std::optional<std::string>;
    struct Case {
        std::string text;
        std::string scheme;
        Optional host;
        std::string path;
        Optional query;
        Optional fragment;
    } const cases[] = {
        { "pupnik://demo/happy", "pupnik", "demo", "/happy", std::nullopt, std::nullopt },
        { "PUPNIK://Debug/Status", "PUPNIK", "Debug", "/Status", std::nullopt, std::nullopt },
        { "pupnik://demo", "pupnik", "demo", "", std::nullopt, std::nullopt },
        { "pupnik:///demo/off", "pupnik", "", "/demo/off", std::nullopt, std::nullopt },
        { "pupnik:demo/off", "pupnik", std::nullopt, "demo/off", std::nullopt, std::nullopt },
        { "pupnik:", "pupnik", std::nullopt, "", std::nullopt, std::nullopt },
        { "pupnik://demo/walk?for=10&x=%20y#top", "pupnik", "demo", "/walk", "for=10&x=%20y", "top" },
        { "pupnik://demo#a?b/c", "pupnik", "demo", "", std::nullopt, "a?b/c" },
        { "pupnik://demo?", "pupnik", "demo", "", "", std::nullopt },
        { "https://user:pw@example.com:8443/a/b", "https", "example.com", "/a/b", std::nullopt, std::nullopt },
        { "http://[::1]:8080/x", "http", "[::1]", "/x", std::nullopt, std::nullopt },
        { "http://example.com:/x", "http", "example.com", "/x", std::nullopt, std::nullopt },
        { "mailto:someone@example.com", "mailto", std::nullopt, "someone@example.com", std::nullopt, std::nullopt },
        { "x-my.scheme+v2://h", "x-my.scheme+v2", "h", "", std::nullopt, std::nullopt },
        { "pupnik://demo/caf%C3%A9", "pupnik", "demo", "/caf%C3%A9", std::nullopt, std::nullopt },
    };
    for (auto const& c : cases) {
        auto url = URL::parse(c.text);
        ASSERT_TRUE(url) << c.text;
        EXPECT_EQ(url->absoluteString(), c.text);
        EXPECT_EQ(url->scheme(), c.scheme) << c.text;
        EXPECT_EQ(url->host(), c.host) << c.text;
        EXPECT_EQ(url->path(), c.path) << c.text;
        EXPECT_EQ(url->query(), c.query) << c.text;
        EXPECT_EQ(url->fragment(), c.fragment) << c.text;
    }
}

TEST(URL, RefusesWhatIsNotAURL)
{
    struct Case {
        char const* name;
        std::string text;
    } const cases[] = {
        { "empty", "" },
        { "no scheme", "demo/happy" },
        { "relative path with a colon later", "./pupnik:demo" },
        { "empty scheme", "://demo/happy" },
        { "scheme starting with a digit", "1pupnik://demo" },
        { "scheme with an underscore", "pup_nik://demo" },
        { "space", "pupnik://demo/hap py" },
        { "leading space", " pupnik://demo/happy" },
        { "trailing line feed", "pupnik://demo/happy\n" },
        { "tab", "pupnik://demo\t/happy" },
        { "NUL", std::string("pupnik://demo/ha\0ppy", 20) },
        { "escape", "pupnik://demo/\x1b[31m" },
        { "DEL", "pupnik://demo/\x7f" },
        { "non-ASCII", "pupnik://demo/caf\xc3\xa9" },
        { "stray byte", "pupnik://demo/\xff" },
        { "quote", "pupnik://demo/\"x\"" },
        { "angle brackets", "pupnik://demo/<script>" },
        { "backslash", "pupnik:\\\\demo" },
        { "braces and bar", "pupnik://demo/{a|b}" },
        { "caret and backtick", "pupnik://demo/^`" },
        { "broken escape", "pupnik://demo/%zz" },
        { "escape cut short", "pupnik://demo/%4" },
        { "lone percent at the end", "pupnik://demo/%" },
        { "two fragments", "pupnik://demo#a#b" },
        { "bracket in the path", "pupnik://demo/[x]" },
        { "bracket in the query", "pupnik://demo?[x]" },
        { "unclosed IP literal", "http://[::1/x" },
        { "text after an IP literal", "http://[::1]x/" },
        { "empty IP literal", "http://[]/" },
        { "port not a number", "http://example.com:80a/" },
        { "second colon in the host", "http://a:1:2/" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(URL::parse(c.text), std::nullopt) << c.name;
}

TEST(URL, LengthIsBounded)
{
    std::string const prefix = "pupnik://demo/";
    auto const atLimit = prefix + std::string(URL::maxLength - prefix.size(), 'a');
    ASSERT_EQ(atLimit.size(), URL::maxLength);
    EXPECT_TRUE(URL::parse(atLimit));
    EXPECT_FALSE(URL::parse(atLimit + "a"));
    EXPECT_FALSE(URL::parse(prefix + std::string(1 << 20, 'a')));
}
