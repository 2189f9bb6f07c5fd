#pragma once

#include "app-core/Language.hpp"
#include "app-core/ResourceLocations.hpp"
#include "shared/LocalizationTables.hpp"
#include "shared/TemplateArgument.hpp"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PupnikCore {

// Looks texts up by key: in the effective language's table, then in English, then the key itself
// stands in. The effective language is the launch override, else the user's choice, else the
// first of the system's preferred languages that has texts, else English.
class Localizer final {
public:
    using Table = PawletShared::LocalizationTables::Table;
    using Tables = PawletShared::LocalizationTables::Tables;

    // Tables are "<code>.json" files, looked for in the bundle's "i18n" folder, then in the folder.
    Localizer(std::optional<Language> choice, std::optional<Language> launchOverride, std::vector<std::string> const& preferredLanguages,
        std::optional<std::filesystem::path> bundle = resourceBundle(), std::optional<std::filesystem::path> folder = localizationFolder());
    // Only these tables, never a file: the texts are fully determined by the arguments.
    Localizer(Language language, Tables fixedTables);

    Localizer(Localizer const&) = delete;
    Localizer& operator=(Localizer const&) = delete;

    // The application's one localiser, made on first use with the system's preferred languages.
    static Localizer& shared();

    Language language() const;
    std::optional<Language> choice() const;
    std::optional<Language> launchOverride() const;

    void configure(std::optional<Language> choice, std::optional<Language> launchOverride, std::vector<std::string> const& preferredLanguages);
    // A choice made in the menu: it drops any launch override, so it always takes effect.
    void setChoice(std::optional<Language> choice, std::vector<std::string> const& preferredLanguages);

    // The key's text; a value that is blank counts as missing. Never fails.
    std::string string(std::string_view key) const;
    // The key's text used as a template (see PawletShared::TemplateFormatter) with the arguments.
    std::string format(std::string_view key, std::vector<PawletShared::TemplateArgument> const& arguments) const;

    // The table used for a language; read once, and kept (even when missing) for this localiser's life.
    std::shared_ptr<Table const> table(Language language) const;

private:
    static constexpr std::uint8_t none = 0xFF;
    static std::uint8_t stored(std::optional<Language> language) { return language ? std::uint8_t(Language::Value(*language)) : none; }
    static std::optional<Language> loaded(std::uint8_t value);
    void resolve(std::vector<std::string> const& preferredLanguages);
    static std::optional<Table> load(std::optional<std::filesystem::path> const& bundle, std::optional<std::filesystem::path> const& folder, Language language);

    // Written by the main thread only; atomic so that lookups on other threads read whole values.
    std::atomic<std::uint8_t> m_language { Language::en };
    std::atomic<std::uint8_t> m_choice { none };
    std::atomic<std::uint8_t> m_launchOverride { none };
    PawletShared::LocalizationTables m_tables;
};

}
