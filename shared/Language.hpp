#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PawletShared {

// One of the 28 interface languages of the pet's displays and of the application. Compares,
// switches and orders like its plain enumeration; stored and exchanged as its code.
class Language final {
public:
    enum Value : std::uint8_t {
        cs,
        da,
        de,
        el,
        en,
        es,
        esMX,
        fi,
        fr,
        hi,
        id,
        it,
        ja,
        ko,
        ms,
        nl,
        no,
        pl,
        ptBR,
        ro,
        ru,
        sv,
        th,
        tr,
        uk,
        vi,
        zhHans,
        zhHant,
    };
    static constexpr size_t count = 28;

    constexpr Language(Value value)
        : m_value(value)
    {
    }
    constexpr operator Value() const { return m_value; }

    // Every language, in declaration order.
    static std::array<Language, count> const& allCases();
    // Sorted by native name as English collation sorts text, ignoring case and diacritics.
    static std::vector<Language> const& sortedByNativeName();

    // The exact code ("de", "pt-BR", "zh-Hant"), or nothing.
    static std::optional<Language> fromRawValue(std::string_view code);
    // A stored or typed code, leniently: trimmed, "_" read as "-", case ignored.
    static std::optional<Language> fromCode(std::string_view text);
    // A system language identifier ("en-US", "zh-Hant-TW", "es-419") mapped to the language whose
    // texts suit it, or nothing when none does.
    static std::optional<Language> matching(std::string_view identifier);
    // The first identifier that maps to a language, else English.
    static Language firstMatch(std::vector<std::string> const& identifiers);

    std::string_view rawValue() const;
    // Identifies the language in lists: its code. (Not "id": that is the Indonesian case.)
    std::string_view identifier() const { return rawValue(); }
    // The language's own name for itself, never translated.
    std::string_view nativeName() const;

private:
    Value m_value;
};

}
