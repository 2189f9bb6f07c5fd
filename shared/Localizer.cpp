#include "shared/Localizer.hpp"

#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/JSON.hpp"
#include "platform/InstallLayout.hpp"
#include "shared/LaunchOptions.hpp"
#include "shared/PreferredLanguages.hpp"
#include "shared/ResourceFile.hpp"
#include "shared/SharedStore.hpp"
#include "shared/TemplateFormatter.hpp"

#include <system_error>

namespace PawletShared {

namespace {

// A table holds a few dozen short texts; a file far larger is not one of ours.
constexpr size_t maxTableBytes = 1024 * 1024;

bool isBlank(std::string const& text) { return PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(text).empty(); }

}

std::optional<Localizer::Table> Localizer::parseTable(std::string const& bytes)
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

Localizer::Localizer(std::optional<Language> choice, std::optional<Language> override, std::vector<std::string> const& preferredLanguages,
    std::optional<std::filesystem::path> bundle, bool persists)
    : m_language(stored(override ? *override : choice ? *choice
                                                      : Language::firstMatch(preferredLanguages)))
    , m_choice(stored(choice))
    , m_bundle(std::move(bundle))
    , m_persists(persists)
{
}

Localizer::Localizer(Language language, Tables fixedTables, std::optional<std::filesystem::path> bundle)
    : m_language(stored(language))
    , m_choice(stored(language))
    , m_fixedTables(std::map<Language, std::shared_ptr<Table const>>())
    , m_bundle(std::move(bundle))
{
    for (auto& [tableLanguage, table] : fixedTables)
        m_fixedTables->emplace(tableLanguage, std::make_shared<Table const>(std::move(table)));
}

Localizer& Localizer::shared()
{
    static std::unique_ptr<Localizer> const instance = makeShared(PawletKit::currentEnvironment(), PreferredLanguages::ofSystem(), resourceBundle());
    return *instance;
}

std::unique_ptr<Localizer> Localizer::makeShared(PawletKit::Environment const& environment, std::vector<std::string> const& preferredLanguages,
    std::optional<std::filesystem::path> bundle)
{
    return std::make_unique<Localizer>(SharedStore::language(), LaunchOptions::language(environment), preferredLanguages, std::move(bundle), true);
}

Localizer& Localizer::followingSettings()
{
    static Localizer instance(SharedStore::language(), std::nullopt, PreferredLanguages::ofSystem(), resourceBundle(), false);
    static std::mutex fetchLock;
    std::lock_guard lock(fetchLock);
    auto storedChoice = SharedStore::language();
    if (storedChoice != instance.choice())
        instance.setChoice(storedChoice, PreferredLanguages::ofSystem());
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

void Localizer::setLanguage(Language language)
{
    std::vector<LanguageObserver> observers;
    {
        std::lock_guard lock(m_observersLock);
        for (auto const& entry : m_observers)
            observers.push_back(entry.second);
    }
    for (auto const& observer : observers)
        observer(language);
    m_language = stored(language);
}

void Localizer::setChoice(std::optional<Language> choice, std::vector<std::string> const& preferredLanguages)
{
    m_choice = stored(choice);
    if (m_persists)
        SharedStore::setLanguage(choice);
    Language next = choice ? *choice : Language::firstMatch(preferredLanguages);
    if (next != language())
        setLanguage(next);
}

size_t Localizer::addObserver(LanguageObserver observer)
{
    std::lock_guard lock(m_observersLock);
    size_t token = m_nextObserver++;
    m_observers.emplace_back(token, std::move(observer));
    return token;
}

void Localizer::removeObserver(size_t token)
{
    std::lock_guard lock(m_observersLock);
    std::erase_if(m_observers, [token](auto const& entry) { return entry.first == token; });
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

std::string Localizer::format(std::string_view key, std::vector<TemplateArgument> const& arguments) const
{
    return TemplateFormatter::format(string(key), arguments);
}

std::shared_ptr<Localizer::Table const> Localizer::table(Language language) const
{
    if (m_fixedTables) {
        static auto const empty = std::make_shared<Table const>();
        auto found = m_fixedTables->find(language);
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
    std::optional<Table> table;
    if (m_bundle) {
        try {
            table = parseTable(ResourceFile::read(*m_bundle / "i18n" / (std::string(language.rawValue()) + ".json"), maxTableBytes));
        } catch (std::system_error const&) {
        }
    }
    return std::make_shared<Table const>(table ? std::move(*table) : Table());
}

std::optional<std::filesystem::path> const& resourceBundle()
{
    static std::optional<std::filesystem::path> const found = []() -> std::optional<std::filesystem::path> {
        auto layout = Platform::InstallLayout::ofRunningProgram();
        if (!layout)
            return std::nullopt;
        auto folder = layout->shareDirectory() / "PawletShared";
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error))
            return std::nullopt;
        return folder;
    }();
    return found;
}

std::string localized(std::string_view key) { return Localizer::shared().string(key); }

}
