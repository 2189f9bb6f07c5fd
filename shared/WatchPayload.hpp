#pragma once

#include "shared/Language.hpp"
#include "shared/PetSnapshot.hpp"
#include "shared/Skin.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace PawletShared {

// The message a display sends to a watch: the latest snapshot and the settings the watch mirrors.
class WatchPayload final {
public:
    // Raw bytes, kept apart from text.
    using Data = std::vector<std::uint8_t>;
    // The loosely typed values a messaging service carries.
    using Value = std::variant<bool, std::int64_t, double, std::string, Data>;
    using Message = std::map<std::string, Value, std::less<>>;

    struct Decoded {
        std::optional<PetSnapshot> snapshot;
        std::optional<bool> showDetails;
        std::optional<Skin> skin;
        std::optional<Language> language;
        // The sender said something about the language, even "no choice" (an empty code).
        bool hasLanguage { false };
        std::optional<bool> demo;

        bool operator==(Decoded const&) const = default;
    };

    WatchPayload() = delete;

    // The settings are always present; the snapshot only when it can be encoded.
    static Message make(PetSnapshot const& snapshot, bool showDetails, Skin skin, std::optional<Language> language, bool demo);
    // Every key is optional; a value of the wrong type reads as absent.
    static Decoded decode(Message const& message);
};

}
