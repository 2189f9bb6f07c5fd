#include "shared/Localizer.hpp"

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

}

Localizer::Localizer(std::optional<Language> choice, std::optional<Language> override, std::vector<std::string> const& preferredLanguages,
    std::optional<std::filesystem::path> bundle, bool persists)
    : m_language(stored(override ? *override : choice ? *choice
                                                      : Language::firstMatch(preferredLanguages)))
    , m_choice(stored(choice))
    , m_persists(persists)
    , m_tables([bundle = std::move(bundle)](Language language) { return load(bundle, language); })
{
}

Localizer::Localizer(Language language, Tables fixedTables, std::optional<std::filesystem::path>)
    : m_language(stored(language))
    , m_choice(stored(language))
    , m_tables(std::move(fixedTables))
{
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

std::string Localizer::string(std::string_view key) const { return m_tables.string(language(), key); }

std::string Localizer::format(std::string_view key, std::vector<TemplateArgument> const& arguments) const
{
    return TemplateFormatter::format(string(key), arguments);
}

std::shared_ptr<Localizer::Table const> Localizer::table(Language language) const { return m_tables.table(language); }

std::optional<Localizer::Table> Localizer::load(std::optional<std::filesystem::path> const& bundle, Language language)
{
    if (!bundle)
        return std::nullopt;
    try {
        return LocalizationTables::parse(ResourceFile::read(*bundle / "i18n" / (std::string(language.rawValue()) + ".json"), maxTableBytes));
    } catch (std::system_error const&) {
        return std::nullopt;
    }
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
