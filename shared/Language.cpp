#include "shared/Language.hpp"

#include "PawletKit/ASCII.hpp"
#include "PawletKit/CharacterSets.hpp"

#include <algorithm>
#include <cstdlib>
#include <utf8proc.h>

namespace PawletShared {

namespace {

struct Entry {
    std::string_view code;
    std::string_view nativeName;
};

constexpr std::array<Entry, Language::count> entries { {
    { "cs", "Čeština" },
    { "da", "Dansk" },
    { "de", "Deutsch" },
    { "el", "Ελληνικά" },
    { "en", "English" },
    { "es", "Español" },
    { "es-MX", "Español (México)" },
    { "fi", "Suomi" },
    { "fr", "Français" },
    { "hi", "हिन्दी" },
    { "id", "Bahasa Indonesia" },
    { "it", "Italiano" },
    { "ja", "日本語" },
    { "ko", "한국어" },
    { "ms", "Bahasa Melayu" },
    { "nl", "Nederlands" },
    { "no", "Norsk" },
    { "pl", "Polski" },
    { "pt-BR", "Português (Brasil)" },
    { "ro", "Română" },
    { "ru", "Русский" },
    { "sv", "Svenska" },
    { "th", "ไทย" },
    { "tr", "Türkçe" },
    { "uk", "Українська" },
    { "vi", "Tiếng Việt" },
    { "zh-Hans", "简体中文" },
    { "zh-Hant", "繁體中文" },
} };

// Regions whose Spanish is closer to Mexico's than to Spain's.
constexpr std::array<std::string_view, 21> spanishAmericanRegions { "419", "mx", "us", "ar", "bo", "cl", "co",
    "cr", "cu", "do", "ec", "gt", "hn", "ni", "pa", "pe", "pr", "py", "sv", "uy", "ve" };

// Identifiers longer than any real one are not language identifiers.
constexpr size_t maxIdentifierBytes = 256;

// Trimmed, "_" turned into "-", lower-cased (ASCII only: every code is ASCII, so other
// letters can never match and need no folding).
std::string normalized(std::string_view text)
{
    std::string result = PawletKit::ASCII::lowercased(PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(text));
    std::replace(result.begin(), result.end(), '_', '-');
    return result;
}

std::vector<std::string> pieces(std::string const& text)
{
    std::vector<std::string> result;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('-', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

std::vector<char32_t> codePoints(std::string_view utf8)
{
    std::vector<char32_t> result;
    for (size_t at = 0; at < utf8.size();) {
        size_t length = 1;
        result.push_back(PawletKit::CharacterSets::codePointAt(utf8, at, length));
        at += length;
    }
    return result;
}

bool isLetter(char32_t codePoint)
{
    auto category = utf8proc_category(utf8proc_int32_t(codePoint));
    return category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_LO;
}

bool isDecimalDigit(char32_t codePoint) { return utf8proc_category(utf8proc_int32_t(codePoint)) == UTF8PROC_CATEGORY_ND; }

bool isScript(std::string const& piece)
{
    auto points = codePoints(piece);
    return points.size() == 4 && std::all_of(points.begin(), points.end(), isLetter);
}

bool isRegion(std::string const& piece)
{
    auto points = codePoints(piece);
    return (points.size() == 2 && std::all_of(points.begin(), points.end(), isLetter))
        || (points.size() == 3 && std::all_of(points.begin(), points.end(), isDecimalDigit));
}

bool isHan(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x2FDF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// A sort key that orders names the way English collation does at its first level: case and
// diacritics folded away, and Han ideographs after every other script (as the common
// collation order puts them), everything else by code point.
std::vector<std::uint32_t> collationKey(std::string_view name)
{
    utf8proc_uint8_t* folded = nullptr;
    auto options = utf8proc_option_t(UTF8PROC_DECOMPOSE | UTF8PROC_CASEFOLD | UTF8PROC_STRIPMARK | UTF8PROC_COMPAT);
    auto length = utf8proc_map(reinterpret_cast<utf8proc_uint8_t const*>(name.data()), utf8proc_ssize_t(name.size()), &folded, options);
    std::string text = length >= 0 ? std::string(reinterpret_cast<char*>(folded), size_t(length)) : std::string(name);
    std::free(folded);
    std::vector<std::uint32_t> key;
    for (char32_t c : codePoints(text))
        key.push_back(isHan(c) ? std::uint32_t(c) + 0x110000 : std::uint32_t(c));
    return key;
}

}

std::array<Language, Language::count> const& Language::allCases()
{
    static constexpr std::array<Language, count> all { cs, da, de, el, en, es, esMX, fi, fr, hi, id, it, ja, ko, ms, nl,
        no, pl, ptBR, ro, ru, sv, th, tr, uk, vi, zhHans, zhHant };
    return all;
}

std::vector<Language> const& Language::sortedByNativeName()
{
    static std::vector<Language> const sorted = [] {
        std::vector<std::pair<std::vector<std::uint32_t>, Language>> keyed;
        for (Language language : allCases())
            keyed.emplace_back(collationKey(language.nativeName()), language);
        std::stable_sort(keyed.begin(), keyed.end(), [](auto const& a, auto const& b) { return a.first < b.first; });
        std::vector<Language> result;
        for (auto const& entry : keyed)
            result.push_back(entry.second);
        return result;
    }();
    return sorted;
}

std::optional<Language> Language::fromRawValue(std::string_view code)
{
    for (Language language : allCases())
        if (language.rawValue() == code)
            return language;
    return std::nullopt;
}

std::optional<Language> Language::fromCode(std::string_view text)
{
    if (text.size() > maxIdentifierBytes)
        return std::nullopt;
    std::string wanted = normalized(text);
    if (wanted.empty())
        return std::nullopt;
    for (Language language : allCases())
        if (normalized(language.rawValue()) == wanted)
            return language;
    return std::nullopt;
}

std::optional<Language> Language::matching(std::string_view identifier)
{
    if (identifier.size() > maxIdentifierBytes)
        return std::nullopt;
    auto parts = pieces(normalized(identifier));
    if (parts.empty())
        return std::nullopt;
    std::string const& base = parts.front();
    std::optional<std::string> script;
    std::optional<std::string> region;
    for (size_t index = 1; index < parts.size(); ++index) {
        if (!script && isScript(parts[index]))
            script = parts[index];
        else if (!region && isRegion(parts[index]))
            region = parts[index];
    }

    if (base == "zh" || base == "cmn" || base == "yue") {
        if (script == "hant")
            return zhHant;
        if (script == "hans")
            return zhHans;
        if (region == "tw" || region == "hk" || region == "mo")
            return zhHant;
        return base == "yue" ? zhHant : zhHans;
    }
    if (base == "pt")
        return ptBR;
    if (base == "es") {
        if (region && std::find(spanishAmericanRegions.begin(), spanishAmericanRegions.end(), *region) != spanishAmericanRegions.end())
            return esMX;
        return es;
    }
    if (base == "nb" || base == "nn" || base == "no")
        return no;
    if (base == "in")
        return id;
    return fromRawValue(base);
}

Language Language::firstMatch(std::vector<std::string> const& identifiers)
{
    for (auto const& identifier : identifiers)
        if (auto language = matching(identifier))
            return *language;
    return en;
}

std::string_view Language::rawValue() const { return entries[m_value].code; }

std::string_view Language::nativeName() const { return entries[m_value].nativeName; }

}
