#include "app-core/Language.hpp"

#include "shared/Language.hpp"

namespace PupnikCore {

// The rules live with the shared twin, whose cases stand in the same order, so one case converts
// to the other by its position.
static_assert(Language::count == PawletShared::Language::count);
static_assert(int(Language::cs) == int(PawletShared::Language::cs) && int(Language::en) == int(PawletShared::Language::en)
    && int(Language::ptBR) == int(PawletShared::Language::ptBR) && int(Language::zhHant) == int(PawletShared::Language::zhHant));

namespace {

Language fromShared(PawletShared::Language language) { return Language(Language::Value(PawletShared::Language::Value(language))); }

PawletShared::Language toShared(Language language) { return PawletShared::Language(PawletShared::Language::Value(Language::Value(language))); }

std::optional<Language> fromShared(std::optional<PawletShared::Language> language)
{
    if (!language)
        return std::nullopt;
    return fromShared(*language);
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
        std::vector<Language> result;
        for (auto language : PawletShared::Language::sortedByNativeName())
            result.push_back(fromShared(language));
        return result;
    }();
    return sorted;
}

std::optional<Language> Language::fromRawValue(std::string_view code) { return fromShared(PawletShared::Language::fromRawValue(code)); }

std::optional<Language> Language::fromCode(std::string_view text) { return fromShared(PawletShared::Language::fromCode(text)); }

std::optional<Language> Language::matching(std::string_view identifier) { return fromShared(PawletShared::Language::matching(identifier)); }

Language Language::firstMatch(std::vector<std::string> const& identifiers) { return fromShared(PawletShared::Language::firstMatch(identifiers)); }

std::string_view Language::rawValue() const { return toShared(*this).rawValue(); }

std::string_view Language::nativeName() const { return toShared(*this).nativeName(); }

}
