#include "shared/LocalizationTables.hpp"

#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/JSON.hpp"

namespace PawletShared {

namespace {

bool isBlank(std::string const& text) { return PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(text).empty(); }

std::shared_ptr<LocalizationTables::Table const> const& emptyTable()
{
    static auto const empty = std::make_shared<LocalizationTables::Table const>();
    return empty;
}

}

std::optional<LocalizationTables::Table> LocalizationTables::parse(std::string const& bytes)
{
    PawletKit::JSON::Value document;
    try {
        document = PawletKit::JSON::parse(bytes);
    } catch (nlohmann::json::exception const&) {
        return std::nullopt;
    }
    if (!document.is_object())
        return std::nullopt;
    Table table;
    for (auto const& [key, value] : document.items()) {
        if (!value.is_string())
            return std::nullopt;
        table.emplace(key, value.get<std::string>());
    }
    return table;
}

LocalizationTables::LocalizationTables(Loader loader)
    : m_loader(std::move(loader))
{
}

LocalizationTables::LocalizationTables(Tables fixed)
    : m_fixed(std::map<Language, std::shared_ptr<Table const>>())
{
    for (auto& [language, table] : fixed)
        m_fixed->emplace(language, std::make_shared<Table const>(std::move(table)));
}

std::string LocalizationTables::string(Language language, std::string_view key) const
{
    for (Language candidate : { language, Language(Language::en) }) {
        auto found = table(candidate);
        auto entry = found->find(key);
        if (entry != found->end() && !isBlank(entry->second))
            return entry->second;
        if (candidate == Language::en)
            break;
    }
    return std::string(key);
}

std::shared_ptr<LocalizationTables::Table const> LocalizationTables::table(Language language) const
{
    if (m_fixed) {
        auto found = m_fixed->find(language);
        return found == m_fixed->end() ? emptyTable() : found->second;
    }
    std::lock_guard lock(m_lock);
    auto cached = m_cache.find(language);
    if (cached != m_cache.end())
        return cached->second;
    auto loaded = m_loader ? m_loader(language) : std::nullopt;
    auto kept = std::make_shared<Table const>(loaded ? std::move(*loaded) : Table());
    m_cache.emplace(language, kept);
    return kept;
}

}
