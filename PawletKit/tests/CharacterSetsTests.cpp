#include "PawletKit/CharacterSets.hpp"

#include <gtest/gtest.h>

using namespace PawletKit;

TEST(CharacterSets, Trimming)
{
    struct Case {
        std::string text;
        std::string withoutWhitespace;
        std::string withoutWhitespaceAndNewlines;
    };
    Case const cases[] = {
        { " \t rate_limit \t", "rate_limit", "rate_limit" },
        { "\nrate_limit\r\n", "\nrate_limit\r\n", "rate_limit" },
        { "\u3000\u00A0x y\u2009\u202F", "x y", "x y" },
        { "\u2028x\u0085", "\u2028x\u0085", "x" },
        { " \u200B ", "\u200B", "\u200B" },
        { "   ", "", "" },
        { "", "", "" },
        { " \xFF ", "\xFF", "\xFF" },
        { " a\xE3\x80", "a\xE3\x80", "a\xE3\x80" },
        { "\x80\xA0 ", "\x80\xA0", "\x80\xA0" },
        { " é ", "é", "é" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(CharacterSets::trimmingWhitespace(c.text), c.withoutWhitespace) << c.text;
        EXPECT_EQ(CharacterSets::trimmingWhitespaceAndNewlines(c.text), c.withoutWhitespaceAndNewlines) << c.text;
    }
}

TEST(CharacterSets, Alphanumerics)
{
    for (char32_t c : { U'a', U'Z', U'7', U'é', U'ß', U'日', U'\u0301', U'٣', U'Ⅻ' })
        EXPECT_TRUE(CharacterSets::isAlphanumeric(c)) << static_cast<uint32_t>(c);
    for (char32_t c : { U' ', U'-', U'/', U'\'', U'$', U'😀', U'\u00A0', static_cast<char32_t>(0x110000) })
        EXPECT_FALSE(CharacterSets::isAlphanumeric(c)) << static_cast<uint32_t>(c);
}
