#include "shared/TemplateFormatter.hpp"

#include <charconv>
#include <limits>

namespace PawletShared {

namespace {

// A conversion as read from the template, starting at its "%".
struct Parsed {
    size_t length { 0 }; // bytes of the whole conversion, "%" included
    bool percent { false }; // "%%"
    std::optional<size_t> position; // from "N$", counting from 1
    TemplateFormatter::ArgumentType type { TemplateFormatter::ArgumentType::string };
    int precision { 6 };
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads at most a few digits so that no run of digits can overflow; a longer run is refused.
std::optional<size_t> readNumber(std::string_view text, size_t& at, size_t limit)
{
    size_t value = 0;
    size_t digits = 0;
    while (at < text.size() && isDigit(text[at])) {
        if (++digits > 3)
            return std::nullopt;
        value = value * 10 + size_t(text[at] - '0');
        ++at;
    }
    if (value > limit)
        return std::nullopt;
    return value;
}

std::optional<Parsed> parseConversion(std::string_view text, size_t start)
{
    using Type = TemplateFormatter::ArgumentType;
    Parsed parsed;
    size_t at = start + 1;
    if (at >= text.size())
        return std::nullopt;
    if (text[at] == '%') {
        parsed.percent = true;
        parsed.length = 2;
        return parsed;
    }
    if (isDigit(text[at])) {
        auto position = readNumber(text, at, TemplateFormatter::maxPosition);
        if (!position || *position == 0 || at >= text.size() || text[at] != '$')
            return std::nullopt;
        parsed.position = *position;
        ++at;
    }
    std::optional<int> precision;
    if (at < text.size() && text[at] == '.') {
        ++at;
        auto digits = readNumber(text, at, size_t(TemplateFormatter::maxPrecision));
        if (!digits)
            return std::nullopt;
        precision = int(*digits);
    }
    size_t longs = 0;
    while (at < text.size() && text[at] == 'l' && longs < 2) {
        ++longs;
        ++at;
    }
    if (at >= text.size())
        return std::nullopt;
    switch (text[at]) {
    case '@':
        if (precision || longs)
            return std::nullopt;
        parsed.type = Type::string;
        break;
    case 'd':
    case 'i':
        if (precision)
            return std::nullopt;
        parsed.type = Type::integer;
        break;
    case 'f':
        if (longs)
            return std::nullopt;
        parsed.type = Type::floatingPoint;
        if (precision)
            parsed.precision = *precision;
        break;
    default:
        return std::nullopt;
    }
    parsed.length = at + 1 - start;
    return parsed;
}

bool append(std::string& out, Parsed const& parsed, TemplateArgument const& argument)
{
    using Type = TemplateFormatter::ArgumentType;
    switch (parsed.type) {
    case Type::string:
        if (auto const* text = std::get_if<std::string>(&argument)) {
            out += *text;
            return true;
        }
        return false;
    case Type::integer:
        if (auto const* number = std::get_if<std::int64_t>(&argument)) {
            out += std::to_string(*number);
            return true;
        }
        return false;
    case Type::floatingPoint:
        if (auto const* number = std::get_if<double>(&argument)) {
            char buffer[std::numeric_limits<double>::max_exponent10 + TemplateFormatter::maxPrecision + 8];
            auto result = std::to_chars(buffer, buffer + sizeof buffer, *number, std::chars_format::fixed, parsed.precision);
            if (result.ec != std::errc())
                return false;
            out.append(buffer, result.ptr);
            return true;
        }
        return false;
    }
    return false;
}

}

std::string TemplateFormatter::format(std::string_view templateText, std::vector<TemplateArgument> const& arguments)
{
    std::string out;
    out.reserve(templateText.size() + 16);
    size_t next = 0; // the argument of the next conversion without a position
    size_t at = 0;
    while (at < templateText.size()) {
        size_t percent = templateText.find('%', at);
        if (percent == std::string_view::npos) {
            out.append(templateText.substr(at));
            break;
        }
        out.append(templateText.substr(at, percent - at));
        auto parsed = parseConversion(templateText, percent);
        if (!parsed) {
            out += '%';
            at = percent + 1;
            continue;
        }
        at = percent + parsed->length;
        if (parsed->percent) {
            out += '%';
            continue;
        }
        size_t index = parsed->position ? *parsed->position - 1 : next++;
        if (index >= arguments.size() || !append(out, *parsed, arguments[index]))
            out.append(templateText.substr(percent, parsed->length));
    }
    return out;
}

std::optional<std::vector<TemplateFormatter::Conversion>> TemplateFormatter::conversions(std::string_view templateText)
{
    std::vector<Conversion> found;
    size_t next = 0;
    size_t at = 0;
    while ((at = templateText.find('%', at)) != std::string_view::npos) {
        auto parsed = parseConversion(templateText, at);
        if (!parsed)
            return std::nullopt;
        at += parsed->length;
        if (parsed->percent)
            continue;
        found.push_back({ parsed->position ? *parsed->position - 1 : next++, parsed->type });
    }
    return found;
}

}
