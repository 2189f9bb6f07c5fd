#include "PawletKit/CharacterSets.hpp"

#include <utf8proc.h>

namespace PawletKit::CharacterSets {

namespace {

utf8proc_category_t categoryOf(char32_t codePoint)
{
    if (codePoint > 0x10FFFF)
        return UTF8PROC_CATEGORY_CN;
    return utf8proc_category(static_cast<utf8proc_int32_t>(codePoint));
}

// The start of the code point that ends at `end`, walking back over continuation bytes.
size_t previousStart(std::string_view text, size_t end)
{
    size_t start = end - 1;
    while (start > 0 && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    return start;
}

template<typename Predicate>
std::string_view trimming(std::string_view text, Predicate isTrimmed)
{
    size_t begin = 0;
    while (begin < text.size()) {
        size_t length = 0;
        if (!isTrimmed(codePointAt(text, begin, length)))
            break;
        begin += length;
    }
    size_t end = text.size();
    while (end > begin) {
        size_t start = previousStart(text, end);
        size_t length = 0;
        char32_t codePoint = codePointAt(text, start, length);
        if (start + length != end) {
            // Not one whole sequence ending here: the last byte stands alone and is never trimmed.
            break;
        }
        if (!isTrimmed(codePoint))
            break;
        end = start;
    }
    return text.substr(begin, end - begin);
}

}

bool isWhitespace(char32_t codePoint)
{
    return codePoint == U'\t' || categoryOf(codePoint) == UTF8PROC_CATEGORY_ZS;
}

bool isWhitespaceOrNewline(char32_t codePoint)
{
    if (codePoint == U'\t' || (codePoint >= 0x0A && codePoint <= 0x0D) || codePoint == 0x85)
        return true;
    auto category = categoryOf(codePoint);
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL || category == UTF8PROC_CATEGORY_ZP;
}

bool isAlphanumeric(char32_t codePoint)
{
    switch (categoryOf(codePoint)) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_MC:
    case UTF8PROC_CATEGORY_ME:
    case UTF8PROC_CATEGORY_ND:
    case UTF8PROC_CATEGORY_NL:
    case UTF8PROC_CATEGORY_NO:
        return true;
    default:
        return false;
    }
}

std::string_view trimmingWhitespace(std::string_view utf8)
{
    return trimming(utf8, isWhitespace);
}

std::string_view trimmingWhitespaceAndNewlines(std::string_view utf8)
{
    return trimming(utf8, isWhitespaceOrNewline);
}

char32_t codePointAt(std::string_view text, size_t at, size_t& length)
{
    utf8proc_int32_t codePoint = -1;
    auto step = utf8proc_iterate(reinterpret_cast<utf8proc_uint8_t const*>(text.data() + at),
        static_cast<utf8proc_ssize_t>(text.size() - at), &codePoint);
    if (step <= 0) {
        length = 1;
        return 0xFFFFFFFF;
    }
    length = static_cast<size_t>(step);
    return static_cast<char32_t>(codePoint);
}

}
