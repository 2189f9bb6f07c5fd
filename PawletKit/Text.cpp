#include "PawletKit/Text.hpp"

#include <cstdlib>
#include <memory>
#include <utf8proc.h>

namespace PawletKit::Text {

namespace {

constexpr char replacementCharacter[] = "\xEF\xBF\xBD";

// Walks the text one grapheme cluster at a time; the callback gets each cluster's byte range and
// returns false to stop.
template<typename Callback>
void forEachCluster(std::string_view text, Callback callback)
{
    auto const* bytes = reinterpret_cast<utf8proc_uint8_t const*>(text.data());
    utf8proc_ssize_t const length = static_cast<utf8proc_ssize_t>(text.size());
    utf8proc_ssize_t position = 0;
    utf8proc_int32_t state = 0;
    utf8proc_int32_t previous = -1;
    size_t clusterStart = 0;
    while (position < length) {
        utf8proc_int32_t codepoint = 0;
        utf8proc_ssize_t step = utf8proc_iterate(bytes + position, length - position, &codepoint);
        bool const invalid = step < 0;
        if (invalid) {
            step = 1;
            codepoint = -1;
        }
        bool breaks = previous < 0 || codepoint < 0 || previous == -2
            || utf8proc_grapheme_break_stateful(previous, codepoint, &state);
        if (breaks && position > 0) {
            if (!callback(clusterStart, static_cast<size_t>(position)))
                return;
            clusterStart = static_cast<size_t>(position);
            state = 0;
        }
        previous = invalid ? -2 : codepoint;
        position += step;
    }
    if (length > 0)
        callback(clusterStart, static_cast<size_t>(length));
}

}

size_t characterCount(std::string_view utf8)
{
    size_t count = 0;
    forEachCluster(utf8, [&](size_t, size_t) {
        ++count;
        return true;
    });
    return count;
}

bool isValidUTF8(std::string_view bytes)
{
    auto const* data = reinterpret_cast<utf8proc_uint8_t const*>(bytes.data());
    utf8proc_ssize_t const length = static_cast<utf8proc_ssize_t>(bytes.size());
    utf8proc_ssize_t position = 0;
    while (position < length) {
        utf8proc_int32_t codepoint = 0;
        utf8proc_ssize_t step = utf8proc_iterate(data + position, length - position, &codepoint);
        if (step <= 0)
            return false;
        position += step;
    }
    return true;
}

std::string replacingInvalidUTF8(std::string_view bytes)
{
    if (isValidUTF8(bytes))
        return std::string(bytes);
    std::string result;
    result.reserve(bytes.size() + 8);
    auto const* data = reinterpret_cast<utf8proc_uint8_t const*>(bytes.data());
    utf8proc_ssize_t const length = static_cast<utf8proc_ssize_t>(bytes.size());
    utf8proc_ssize_t position = 0;
    while (position < length) {
        utf8proc_int32_t codepoint = 0;
        utf8proc_ssize_t step = utf8proc_iterate(data + position, length - position, &codepoint);
        if (step <= 0) {
            result += replacementCharacter;
            position += 1;
            continue;
        }
        result.append(bytes.substr(static_cast<size_t>(position), static_cast<size_t>(step)));
        position += step;
    }
    return result;
}

std::string prefix(std::string_view utf8, size_t maxCharacters)
{
    size_t count = 0;
    size_t end = 0;
    bool cut = false;
    forEachCluster(utf8, [&](size_t, size_t clusterEnd) {
        if (count == maxCharacters) {
            cut = true;
            return false;
        }
        ++count;
        end = clusterEnd;
        return true;
    });
    if (!cut)
        return replacingInvalidUTF8(utf8);
    return replacingInvalidUTF8(utf8.substr(0, end));
}

std::string prefixWithinBytes(std::string_view utf8, size_t maxCost, size_t (*byteCost)(unsigned char))
{
    std::string valid = replacingInvalidUTF8(utf8);
    size_t cost = 0;
    size_t end = 0;
    forEachCluster(valid, [&](size_t clusterStart, size_t clusterEnd) {
        for (size_t i = clusterStart; i < clusterEnd; ++i)
            cost += byteCost ? byteCost(static_cast<unsigned char>(valid[i])) : 1;
        if (cost > maxCost)
            return false;
        end = clusterEnd;
        return true;
    });
    valid.resize(end);
    return valid;
}

namespace {

std::string mapped(std::string_view utf8, int options)
{
    std::string valid = replacingInvalidUTF8(utf8);
    utf8proc_uint8_t* result = nullptr;
    utf8proc_ssize_t length = utf8proc_map(reinterpret_cast<utf8proc_uint8_t const*>(valid.data()),
        static_cast<utf8proc_ssize_t>(valid.size()), &result, static_cast<utf8proc_option_t>(options));
    if (length < 0)
        return valid;
    std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(result, &std::free);
    return std::string(reinterpret_cast<char const*>(result), static_cast<size_t>(length));
}

}

std::string nfc(std::string_view utf8)
{
    return mapped(utf8, UTF8PROC_STABLE | UTF8PROC_COMPOSE);
}

std::string caseFolded(std::string_view utf8)
{
    return mapped(utf8, UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD);
}

std::string lowercased(std::string_view utf8)
{
    auto const* data = reinterpret_cast<utf8proc_uint8_t const*>(utf8.data());
    utf8proc_ssize_t const length = static_cast<utf8proc_ssize_t>(utf8.size());
    utf8proc_ssize_t position = 0;
    std::string result;
    result.reserve(utf8.size());
    while (position < length) {
        utf8proc_int32_t codepoint = 0;
        utf8proc_ssize_t step = utf8proc_iterate(data + position, length - position, &codepoint);
        if (step < 0) {
            result += utf8[static_cast<size_t>(position)];
            ++position;
            continue;
        }
        utf8proc_uint8_t encoded[4];
        utf8proc_ssize_t written = utf8proc_encode_char(utf8proc_tolower(codepoint), encoded);
        result.append(reinterpret_cast<char const*>(encoded), static_cast<size_t>(written));
        position += step;
    }
    return result;
}

}
