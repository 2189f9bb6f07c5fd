#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Platform {

// A user-defaults suite: a flat dictionary of JSON values by key. The typed getters read a value of
// the wrong type as absent, except boolean(), which reads numbers and strings the way macOS user
// defaults do (non-zero numbers; strings such as "YES", "true", "1").
class DefaultsStore {
public:
    virtual ~DefaultsStore() = default;

    virtual std::optional<nlohmann::json> object(std::string_view key) const = 0;
    // Null removes the key.
    virtual void set(std::string_view key, nlohmann::json value) = 0;
    virtual void remove(std::string_view key) = 0;

    // Keys to set, in order; a null value removes its key.
    using Changes = std::vector<std::pair<std::string, nlohmann::json>>;
    // Several keys at once. Key by key here; a store that writes through to disk writes once.
    virtual void apply(Changes const& changes);

    bool contains(std::string_view key) const { return object(key).has_value(); }
    std::optional<bool> boolean(std::string_view key) const;
    std::optional<double> number(std::string_view key) const;
    std::optional<int64_t> integer(std::string_view key) const;
    std::optional<std::string> string(std::string_view key) const;

    // The Boolean reading of any value; nothing for arrays, objects and null.
    static std::optional<bool> booleanValue(nlohmann::json const& value);
    // The rule of a string's Boolean reading: after blanks, an optional sign and leading zeros,
    // true when the next character is Y, y, T, t or a digit 1 to 9.
    static bool stringBooleanValue(std::string_view text);
};

}
