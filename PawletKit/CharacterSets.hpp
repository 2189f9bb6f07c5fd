#pragma once

#include <cstddef>
#include <string_view>

namespace PawletKit::CharacterSets {

// The character classes the coding agent's settings and our own files are trimmed and quoted by.
// Code points outside Unicode, and bytes that are not UTF-8, belong to none of them.

// Space separators (general category Zs) and the tab; no line breaks.
bool isWhitespace(char32_t codePoint);
// Every separator (Z*), the tab, U+000A to U+000D and U+0085.
bool isWhitespaceOrNewline(char32_t codePoint);
// Letters, marks and numbers (general categories L*, M*, N*), in any script.
bool isAlphanumeric(char32_t codePoint);

// The code point that starts at `at` and its length in bytes; a byte that starts no valid sequence
// is one byte that belongs to no class (0xFFFFFFFF).
char32_t codePointAt(std::string_view utf8, size_t at, size_t& length);

std::string_view trimmingWhitespace(std::string_view utf8);
std::string_view trimmingWhitespaceAndNewlines(std::string_view utf8);

}
