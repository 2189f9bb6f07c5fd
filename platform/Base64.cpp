#include "platform/Base64.hpp"

#include <array>
#include <cstdint>

namespace Platform::Base64 {

namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> reverseTable()
{
    std::array<int8_t, 256> table {};
    table.fill(-1);
    for (size_t i = 0; i < alphabet.size(); ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
    return table;
}

constexpr auto reverse = reverseTable();

}

std::string encode(std::string_view bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t group = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]);
        text += alphabet[group >> 18 & 63];
        text += alphabet[group >> 12 & 63];
        text += alphabet[group >> 6 & 63];
        text += alphabet[group & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t group = uint32_t(uint8_t(bytes[i])) << 16;
        if (rest == 2)
            group |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        text += alphabet[group >> 18 & 63];
        text += alphabet[group >> 12 & 63];
        text += rest == 2 ? alphabet[group >> 6 & 63] : '=';
        text += '=';
    }
    return text;
}

std::optional<std::string> decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        size_t padding = 0;
        if (last && text[i + 3] == '=')
            padding = text[i + 2] == '=' ? 2 : 1;
        uint32_t group = 0;
        for (size_t j = 0; j < 4; ++j) {
            int8_t value = 0;
            if (j < 4 - padding) {
                value = reverse[static_cast<unsigned char>(text[i + j])];
                if (value < 0)
                    return std::nullopt;
            }
            group = group << 6 | uint32_t(value);
        }
        // Bits below the last whole byte must be zero, so every byte string has one spelling.
        if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0))
            return std::nullopt;
        bytes += char(group >> 16 & 0xFF);
        if (padding < 2)
            bytes += char(group >> 8 & 0xFF);
        if (padding < 1)
            bytes += char(group & 0xFF);
    }
    return bytes;
}

}
