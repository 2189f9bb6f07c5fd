#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace PawletKit::Text {

// Limits that cut text count user-perceived characters (extended grapheme clusters), never splitting one.
// Invalid UTF-8 bytes count as one character each and are replaced by U+FFFD wherever text is cut.

size_t characterCount(std::string_view utf8);
std::string prefix(std::string_view utf8, size_t maxCharacters);
// The longest prefix of whole characters (invalid bytes repaired first) whose bytes cost at most maxCost
// in all, each byte costing byteCost(byte), or 1 without it. A first character that alone costs more
// gives the empty text.
std::string prefixWithinBytes(std::string_view utf8, size_t maxCost, size_t (*byteCost)(unsigned char) = nullptr);
bool isValidUTF8(std::string_view bytes);
std::string replacingInvalidUTF8(std::string_view bytes);
// Canonical composition (NFC); invalid input is first repaired.
std::string nfc(std::string_view utf8);
// Each code point mapped to its simple lower-case form; bytes that are not UTF-8 are kept as they are.
std::string lowercased(std::string_view utf8);
// Unicode case folding in NFC, for comparisons that ignore case; invalid input is first repaired.
std::string caseFolded(std::string_view utf8);

}
