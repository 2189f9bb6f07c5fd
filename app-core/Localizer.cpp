#include "app-core/Localizer.hpp"

#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/RegularFile.hpp"
#include "app-core/PreferredLanguages.hpp"
#include "shared/Localizer.hpp"
#include "shared/TemplateFormatter.hpp"

namespace PupnikCore {

namespace {

// A table holds a few hundred short texts; a file far larger is not one of ours.
constexpr size_t maxTableBytes = 4 * 1024 * 1024;

bool isFile(std::filesystem::path const& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool isBlank(std::string const& text) { return PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(text).empty(); }

}

Localizer::Localizer(std::optional<Language> choice, std::optional<Language> launchOverride, std::vector<std::string> const& preferredLanguages,
    std::optional<std::filesystem::path> bundle, std::optional<std::filesystem::path> folder)
    : m_choice(stored(choice))
    , m_launchOverride(stored(launchOverride))
    , m_bundle(std::move(bundle))
    , m_folder(std::move(folder))
{
    resolve(preferredLanguages);
}

Localizer::Localizer(Language language, Tables fixedTables)
    : m_language(stored(language))
    , m_choice(stored(language))
    , m_fixedTables(std::map<Language, std::shared_ptr<Table const>>())
{
    for (auto& [tableLanguage, table] : fixedTables)
        m_fixedTables->emplace(tableLanguage, std::make_shared<Table const>(std::move(table)));
}

Localizer& Localizer::shared()
{
    static Localizer instance(std::nullopt, std::nullopt, PreferredLanguages::ofSystem());
    return instance;
}

std::optional<Language> Localizer::loaded(std::uint8_t value)
{
    if (value >= Language::count)
        return std::nullopt;
    return Language(Language::Value(value));
}

Language Localizer::language() const { return loaded(m_language.load()).value_or(Language::en); }

std::optional<Language> Localizer::choice() const { return loaded(m_choice.load()); }

std::optional<Language> Localizer::launchOverride() const { return loaded(m_launchOverride.load()); }

void Localizer::configure(std::optional<Language> choice, std::optional<Language> launchOverride, std::vector<std::string> const& preferredLanguages)
{
    m_choice = stored(choice);
    m_launchOverride = stored(launchOverride);
    resolve(preferredLanguages);
}

void Localizer::setChoice(std::optional<Language> choice, std::vector<std::string> const& preferredLanguages)
{
    m_choice = stored(choice);
    m_launchOverride = none;
    resolve(preferredLanguages);
}

void Localizer::resolve(std::vector<std::string> const& preferredLanguages)
{
    if (auto forced = launchOverride())
        m_language = stored(*forced);
    else if (auto chosen = choice())
        m_language = stored(*chosen);
    else
        m_language = stored(Language::firstMatch(preferredLanguages));
}

std::string Localizer::string(std::string_view key) const
{
    Language current = language();
    for (Language candidate : { current, Language(Language::en) }) {
        auto found = table(candidate);
        auto entry = found->find(key);
        if (entry != found->end() && !isBlank(entry->second))
            return entry->second;
        if (candidate == Language::en)
            break;
    }
    return std::string(key);
}

std::string Localizer::format(std::string_view key, std::vector<PawletShared::TemplateArgument> const& arguments) const
{
    return PawletShared::TemplateFormatter::format(string(key), arguments);
}

std::shared_ptr<Localizer::Table const> Localizer::table(Language language) const
{
    if (m_fixedTables) {
        auto found = m_fixedTables->find(language);
        static auto const empty = std::make_shared<Table const>();
        return found == m_fixedTables->end() ? empty : found->second;
    }
    std::lock_guard lock(m_lock);
    auto cached = m_cache.find(language);
    if (cached != m_cache.end())
        return cached->second;
    auto loadedTable = load(language);
    m_cache.emplace(language, loadedTable);
    return loadedTable;
}

std::shared_ptr<Localizer::Table const> Localizer::load(Language language) const
{
    std::string name = std::string(language.rawValue()) + ".json";
    std::optional<std::filesystem::path> path;
    if (m_bundle && isFile(*m_bundle / "i18n" / name))
        path = *m_bundle / "i18n" / name;
    else if (m_folder && isFile(*m_folder / name))
        path = *m_folder / name;

    std::optional<Table> table;
    if (path)
        if (auto bytes = PawletKit::RegularFile::read(*path, maxTableBytes))
            table = PawletShared::Localizer::parseTable(*bytes);
    return std::make_shared<Table const>(table ? std::move(*table) : Table());
}

}
