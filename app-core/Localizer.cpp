#include "app-core/Localizer.hpp"

#include "PawletKit/RegularFile.hpp"
#include "app-core/PreferredLanguages.hpp"
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

}

Localizer::Localizer(std::optional<Language> choice, std::optional<Language> launchOverride, std::vector<std::string> const& preferredLanguages,
    std::optional<std::filesystem::path> bundle, std::optional<std::filesystem::path> folder)
    : m_choice(stored(choice))
    , m_launchOverride(stored(launchOverride))
    , m_tables([bundle = std::move(bundle), folder = std::move(folder)](Language language) { return load(bundle, folder, language); })
{
    resolve(preferredLanguages);
}

Localizer::Localizer(Language language, Tables fixedTables)
    : m_language(stored(language))
    , m_choice(stored(language))
    , m_tables(std::move(fixedTables))
{
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

std::string Localizer::string(std::string_view key) const { return m_tables.string(language(), key); }

std::string Localizer::format(std::string_view key, std::vector<PawletShared::TemplateArgument> const& arguments) const
{
    return PawletShared::TemplateFormatter::format(string(key), arguments);
}

std::shared_ptr<Localizer::Table const> Localizer::table(Language language) const { return m_tables.table(language); }

std::optional<Localizer::Table> Localizer::load(std::optional<std::filesystem::path> const& bundle, std::optional<std::filesystem::path> const& folder, Language language)
{
    std::string name = std::string(language.rawValue()) + ".json";
    std::optional<std::filesystem::path> path;
    if (bundle && isFile(*bundle / "i18n" / name))
        path = *bundle / "i18n" / name;
    else if (folder && isFile(*folder / name))
        path = *folder / name;
    if (!path)
        return std::nullopt;
    auto bytes = PawletKit::RegularFile::read(*path, maxTableBytes);
    return bytes ? PawletShared::LocalizationTables::parse(*bytes) : std::nullopt;
}

}
