#pragma once

#include "shared/Language.hpp"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace PawletShared {

// The texts of a localiser by language, and how a key is looked up in them: the language's table,
// then English, a blank text counting as missing, then the key itself. Both the application's and
// the displays' localisers look texts up this way; only where their tables come from differs.
class LocalizationTables final {
public:
    using Table = std::map<std::string, std::string, std::less<>>;
    using Tables = std::map<Language, Table>;
    // A language's table, or nothing when it has none. Called at most once per language.
    using Loader = std::function<std::optional<Table>(Language)>;

    // A table file's texts: a JSON object of strings; anything else is no table.
    static std::optional<Table> parse(std::string const& bytes);

    // Tables read on first use and kept, even when missing, for the life of this object.
    explicit LocalizationTables(Loader loader);
    // Only these tables, never a file.
    explicit LocalizationTables(Tables fixed);

    LocalizationTables(LocalizationTables const&) = delete;
    LocalizationTables& operator=(LocalizationTables const&) = delete;

    // The key's text in the language. Never fails.
    std::string string(Language language, std::string_view key) const;
    // Never null: a language without texts has an empty table. Safe from any thread.
    std::shared_ptr<Table const> table(Language language) const;

private:
    Loader m_loader;
    std::optional<std::map<Language, std::shared_ptr<Table const>>> m_fixed;
    mutable std::map<Language, std::shared_ptr<Table const>> m_cache;
    mutable std::mutex m_lock;
};

}
