#pragma once

#include "PawletKit/Environment.hpp"
#include "shared/Language.hpp"
#include "shared/LocalizationTables.hpp"
#include "shared/TemplateArgument.hpp"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PawletShared {

// The texts of the pet's displays, by key: the effective language's table, then English, then the
// key itself. Separate from the application's localiser, with tables of its own. The user's choice
// lives in the shared store; PUPNIK_LANG picks the first language of the shared instance for one run.
class Localizer final {
public:
    using Table = LocalizationTables::Table;
    using Tables = LocalizationTables::Tables;
    // Told the new language before it takes effect, on the thread that changes it.
    using LanguageObserver = std::function<void(Language)>;

    // The language is the override, else the choice, else the first preferred language that has
    // texts (English when none has). Tables are "i18n/<code>.json" in the bundle.
    Localizer(std::optional<Language> choice, std::optional<Language> override, std::vector<std::string> const& preferredLanguages,
        std::optional<std::filesystem::path> bundle, bool persists);
    // Only these tables, never a file, not even the bundle's.
    Localizer(Language language, Tables fixedTables, std::optional<std::filesystem::path> bundle = std::nullopt);

    Localizer(Localizer const&) = delete;
    Localizer& operator=(Localizer const&) = delete;

    // The displays' instance: override, stored choice, system; it writes choices to the shared store.
    static Localizer& shared();
    // How the shared instance is made: the stored choice, PUPNIK_LANG of the environment as an
    // override (a code, not a system identifier), persisting.
    static std::unique_ptr<Localizer> makeShared(PawletKit::Environment const& environment, std::vector<std::string> const& preferredLanguages,
        std::optional<std::filesystem::path> bundle);
    // An instance that takes up a choice another program stored, each time it is fetched; it
    // never writes the store and ignores PUPNIK_LANG.
    static Localizer& followingSettings();

    Language language() const;
    // Changes the language without touching the choice or the store; observers hear of a change.
    void setLanguage(Language language);
    std::optional<Language> choice() const;
    bool persists() const { return m_persists; }

    // Stores the choice (when persisting, even an unchanged one) and switches to it, or to the
    // preferred languages' match when there is none.
    void setChoice(std::optional<Language> choice, std::vector<std::string> const& preferredLanguages);

    // Returns a number that removes the observer again.
    size_t addObserver(LanguageObserver observer);
    void removeObserver(size_t token);

    // The key's text; a blank value counts as missing. Never fails.
    std::string string(std::string_view key) const;
    // The key's text as a template (see TemplateFormatter), filled with the arguments.
    std::string format(std::string_view key, std::vector<TemplateArgument> const& arguments) const;
    // Read once and kept, even when missing, for the life of the localiser.
    std::shared_ptr<Table const> table(Language language) const;

private:
    static constexpr std::uint8_t none = 0xFF;
    static std::uint8_t stored(std::optional<Language> language) { return language ? std::uint8_t(Language::Value(*language)) : none; }
    static std::optional<Language> loaded(std::uint8_t value);
    static std::optional<Table> load(std::optional<std::filesystem::path> const& bundle, Language language);

    std::atomic<std::uint8_t> m_language { Language::en };
    std::atomic<std::uint8_t> m_choice { none };
    bool m_persists { false };
    LocalizationTables m_tables;
    std::mutex m_observersLock;
    std::vector<std::pair<size_t, LanguageObserver>> m_observers;
    size_t m_nextObserver { 1 };
};

// The folder of the shared library's resources in the installation's share folder, found once.
std::optional<std::filesystem::path> const& resourceBundle();

// A key's text through the shared instance.
std::string localized(std::string_view key);

}
