#include "PawletKit/ASCII.hpp"

#include <clocale>
#include <gtest/gtest.h>

using namespace PawletKit;

TEST(ASCII, FoldsOnlyTheASCIILettersWhateverTheLocale)
{
    // A Latin-1 locale would fold 0xC9 as a letter and break UTF-8 sequences; the helpers must not.
    std::string const previous = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "en_US.ISO-8859-1");
    struct Case {
        std::string text;
        std::string lowered;
    };
    Case const cases[] = {
        { "Pupnik-ZH_Hant 09", "pupnik-zh_hant 09" },
        { "@[`{", "@[`{" },
        { "\xC9T\xC9", "\xC9t\xC9" },
        { "", "" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(ASCII::lowercased(c.text), c.lowered) << c.text;
        EXPECT_TRUE(ASCII::equalIgnoringCase(c.text, c.lowered)) << c.text;
    }
    EXPECT_FALSE(ASCII::equalIgnoringCase("\xC9", "\xE9"));
    EXPECT_FALSE(ASCII::equalIgnoringCase("Pupnik", "pupnik "));
    EXPECT_FALSE(ASCII::equalIgnoringCase("pupnik", "pupnio"));
    std::setlocale(LC_CTYPE, previous.c_str());
}
