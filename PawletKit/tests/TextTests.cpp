#include "PawletKit/Text.hpp"

#include <gtest/gtest.h>

using namespace PawletKit;

TEST(Text, CutsByGraphemeClusters)
{
    struct Case {
        std::string text;
        size_t limit;
        std::string expected;
        size_t count;
    };
    std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"; // man ZWJ woman ZWJ girl
    std::string eAcute = "e\xCC\x81";
    Case const cases[] = {
        { "hello", 3, "hel", 5 },
        { "hi", 5, "hi", 2 },
        { family + "x", 1, family, 2 },
        { eAcute + eAcute, 1, eAcute, 2 },
        { "a\r\nb", 2, "a\r\n", 3 },
        { "ab\xff"
          "cd",
            3, "ab\xEF\xBF\xBD", 5 },
        { "", 3, "", 0 },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(Text::prefix(c.text, c.limit), c.expected) << c.text;
        EXPECT_EQ(Text::characterCount(c.text), c.count) << c.text;
    }
}

TEST(Text, ComposesCanonically)
{
    EXPECT_EQ(Text::nfc("e\xCC\x81"), "\xC3\xA9");
    EXPECT_FALSE(Text::isValidUTF8("\xC0\x80"));
    EXPECT_TRUE(Text::isValidUTF8("\xC3\xA9"));
}

TEST(Text, LowerCasesEachCodePointAndKeepsInvalidBytes)
{
    EXPECT_EQ(Text::lowercased("CODEX Claude"), "codex claude");
    EXPECT_EQ(Text::lowercased("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9"); // ÉTÉ
    EXPECT_EQ(Text::lowercased("A\xFF"
                               "B"),
        "a\xFF"
        "b");
}

TEST(Text, FoldsCaseForComparison)
{
    struct Case {
        char const* text;
        char const* expected;
    };
    Case const cases[] = {
        { "MyApp", "myapp" },
        // Decomposed and composed forms fold alike; German sharp s folds to "ss".
        { "E\xCC\x81T\xC3\x89", "\xC3\xA9t\xC3\xA9" },
        { "Stra\xC3\x9F"
          "e",
            "strasse" },
        { "\xC3\x96l \xE2\x80\x94 \xCE\xA3", "\xC3\xB6l \xE2\x80\x94 \xCF\x83" },
        { "bad\xFF", "bad\xEF\xBF\xBD" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(Text::caseFolded(c.text), c.expected) << c.text;
}
