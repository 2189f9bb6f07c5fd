// Templates come from translation tables: whatever their bytes and arguments, filling them must
// neither crash nor read past the arguments, and conversions it cannot fill stay visible.
#include "PawletKit/Text.hpp"
#include "shared/TemplateFormatter.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

using PawletShared::TemplateArgument;
using PawletShared::TemplateFormatter;

// Input: one byte giving the number of arguments (low 3 bits) and then, per argument, one byte for
// its kind; the rest is the template. String arguments are short pieces of the template itself.
extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    if (size == 0)
        return 0;
    size_t count = data[0] & 7;
    if (size < 1 + count)
        return 0;
    std::string_view templateText(reinterpret_cast<char const*>(data + 1 + count), size - 1 - count);

    std::vector<TemplateArgument> arguments;
    size_t argumentBytes = 0;
    for (size_t index = 0; index < count; ++index) {
        uint8_t kind = data[1 + index];
        switch (kind % 3) {
        case 0: {
            std::string text(templateText.substr(0, kind / 3 % 8));
            argumentBytes += text.size();
            arguments.emplace_back(std::move(text));
            break;
        }
        case 1:
            arguments.emplace_back(std::int64_t(kind % 2 ? INT64_MIN : int64_t(kind) * 1'000'003));
            argumentBytes += 20;
            break;
        default:
            arguments.emplace_back(kind % 2 ? -1.5e308 : double(kind) / 7.0);
            argumentBytes += 330;
            break;
        }
    }

    // Without arguments every conversion is copied or shortened, never grown.
    std::string bare = TemplateFormatter::format(templateText, {});
    if (bare.size() > templateText.size())
        std::abort();

    std::string filled = TemplateFormatter::format(templateText, arguments);
    // Each conversion takes at least two bytes and inserts at most one argument.
    if (filled.size() > templateText.size() + (templateText.size() / 2 + 1) * (argumentBytes + 1))
        std::abort();
    if (PawletKit::Text::isValidUTF8(templateText) && PawletKit::Text::isValidUTF8(filled) == false) {
        bool argumentsValid = true;
        for (auto const& argument : arguments)
            if (auto const* text = std::get_if<std::string>(&argument); text && !PawletKit::Text::isValidUTF8(*text))
                argumentsValid = false;
        if (argumentsValid)
            std::abort();
    }

    // A template whose conversions all parse, filled with arguments of the kinds it asks for,
    // keeps no "%" but those written as "%%".
    if (auto conversions = TemplateFormatter::conversions(templateText)) {
        std::vector<TemplateArgument> fitting;
        for (auto const& conversion : *conversions) {
            if (conversion.argument >= fitting.size())
                fitting.resize(conversion.argument + 1, TemplateArgument(std::string()));
            if (conversion.type == TemplateFormatter::ArgumentType::integer)
                fitting[conversion.argument] = std::int64_t(7);
            else if (conversion.type == TemplateFormatter::ArgumentType::floatingPoint)
                fitting[conversion.argument] = 0.5;
        }
        // The same argument used with two types cannot be satisfied; leave those out.
        bool consistent = true;
        for (auto const& conversion : *conversions) {
            auto const& argument = fitting[conversion.argument];
            bool matches = (conversion.type == TemplateFormatter::ArgumentType::string && std::holds_alternative<std::string>(argument))
                || (conversion.type == TemplateFormatter::ArgumentType::integer && std::holds_alternative<std::int64_t>(argument))
                || (conversion.type == TemplateFormatter::ArgumentType::floatingPoint && std::holds_alternative<double>(argument));
            consistent = consistent && matches;
        }
        if (consistent) {
            std::string text = TemplateFormatter::format(templateText, fitting);
            size_t percents = 0;
            for (char c : text)
                percents += c == '%';
            size_t literal = 0;
            for (size_t at = templateText.find("%%"); at != std::string_view::npos; at = templateText.find("%%", at + 2))
                ++literal;
            if (percents != literal)
                std::abort();
        }
    }
    return 0;
}
