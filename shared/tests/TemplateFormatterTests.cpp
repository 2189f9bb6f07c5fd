#include "shared/TemplateFormatter.hpp"

#include <clocale>
#include <gtest/gtest.h>
#include <locale>
#include <stdexcept>

using namespace PawletShared;
using Type = TemplateFormatter::ArgumentType;
using Arguments = std::vector<TemplateArgument>;

TEST(TemplateFormatter, FillsConversionsInOrderAndByPosition)
{
    struct Case {
        char const* templateText;
        Arguments arguments;
        std::string expected;
    } const cases[] = {
        { "plain text", {}, "plain text" },
        { "%@ and %@", { "a", "b" }, "a and b" },
        { "%lld agents", { std::int64_t(3) }, "3 agents" },
        { "%d/%i/%ld/%li/%lli", { std::int64_t(1), std::int64_t(-2), std::int64_t(3), std::int64_t(4), std::int64_t(5) }, "1/-2/3/4/5" },
        { "%lld", { std::int64_t(INT64_MIN) }, "-9223372036854775808" },
        { "%@ %lld%%", { "5-hour", std::int64_t(63) }, "5-hour 63%" },
        { "%2$@ before %1$@", { "first", "second" }, "second before first" },
        { "%2$lld%% %1$@", { "7d", std::int64_t(12) }, "12% 7d" },
        { "%1$@ %1$@", { "twice" }, "twice twice" },
        // Conversions without a position take the arguments in turn, whatever positional ones do.
        { "%2$@ %@ %@", { "a", "b" }, "b a b" },
        { "%f", { 2.5 }, "2.500000" },
        { "%.1f", { 2.5 }, "2.5" },
        { "%.0f", { 2.5 }, "2" },
        { "%1$.2f", { 1234567.125 }, "1234567.12" },
        { "日本語 %@ ไทย", { "Ελληνικά" }, "日本語 Ελληνικά ไทย" },
        // Arguments are inserted as they are: a "%" inside one is not read as a conversion.
        { "%@", { "%@ %lld %1$@" }, "%@ %lld %1$@" },
        { "%@", { "" }, "" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(TemplateFormatter::format(c.templateText, c.arguments), c.expected) << c.templateText;
}

TEST(TemplateFormatter, MisuseIsAnsweredWithVisibleText)
{
    struct Case {
        char const* templateText;
        Arguments arguments;
        std::string expected;
    } const cases[] = {
        // Too few arguments: the conversion stays as written.
        { "%@ and %@", { "a" }, "a and %@" },
        { "%lld agents", {}, "%lld agents" },
        // Wrong type: never read as another type.
        { "%lld agents", { "three" }, "%lld agents" },
        { "%@ waits", { std::int64_t(3) }, "%@ waits" },
        { "%f", { std::int64_t(3) }, "%f" },
        { "%d", { 2.5 }, "%d" },
        // A lone "%" and unknown conversions are text.
        { "100%", {}, "100%" },
        { "%", { "a" }, "%" },
        { "50% off %@", { "x" }, "50% off x" },
        { "%s %n %x %p %c", { "a", "b" }, "%s %n %x %p %c" },
        { "%5d", { std::int64_t(1) }, "%5d" },
        { "%-@", { "a" }, "%-@" },
        { "%lllld", { std::int64_t(1) }, "%lllld" },
        { "%.2@", { "a" }, "%.2@" },
        { "%.2d", { std::int64_t(1) }, "%.2d" },
        { "%.99f", { 1.0 }, "%.99f" },
        { "%l", {}, "%l" },
        // Positions past the end, position 0, and absurd positions.
        { "%3$@", { "a", "b" }, "%3$@" },
        { "%0$@", { "a" }, "%0$@" },
        { "%99$@", { "a" }, "%99$@" },
        { "%100$@", { "a" }, "%100$@" },
        { "%99999999999999999999$@", { "a" }, "%99999999999999999999$@" },
        { "%1$", { "a" }, "%1$" },
        { "%1", { "a" }, "%1" },
        { "%1$%", { "a" }, "%1$%" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(TemplateFormatter::format(c.templateText, c.arguments), c.expected) << c.templateText;
}

TEST(TemplateFormatter, NumbersIgnoreTheUsersLocale)
{
    // A region that writes decimal commas and groups digits must not change the texts; whichever
    // such locale this machine has is used.
    char const* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    for (char const* name : { "de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "ru_RU.UTF-8" }) {
        try {
            std::locale::global(std::locale(name));
            break;
        } catch (std::runtime_error const&) {
        }
    }
    EXPECT_EQ(TemplateFormatter::format("%.1f|%lld|%f", { 2.5, std::int64_t(1234567), -0.25 }), "2.5|1234567|-0.250000");
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(TemplateFormatter, ListsConversionsWithTheirArgumentsAndTypes)
{
    using List = std::vector<TemplateFormatter::Conversion>;
    struct Case {
        char const* templateText;
        std::optional<List> expected;
    } const cases[] = {
        { "no conversions, 100%% sure", List {} },
        { "%@ %lld%%", List { { 0, Type::string }, { 1, Type::integer } } },
        { "%2$lld%% %1$@", List { { 1, Type::integer }, { 0, Type::string } } },
        { "%d %i %ld %lld", List { { 0, Type::integer }, { 1, Type::integer }, { 2, Type::integer }, { 3, Type::integer } } },
        { "%.1f", List { { 0, Type::floatingPoint } } },
        { "%2$@ %@", List { { 1, Type::string }, { 0, Type::string } } },
        { "100%", std::nullopt },
        { "%s", std::nullopt },
        { "%0$@", std::nullopt },
        { "ok %@ then %", std::nullopt },
    };
    for (auto const& c : cases)
        EXPECT_EQ(TemplateFormatter::conversions(c.templateText), c.expected) << c.templateText;
}
