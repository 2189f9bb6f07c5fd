#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace PupnikCore {

// The few short sounds the pet makes. Each is a WAV file named after the sound in the "sounds" folder
// that sits beside the localisation tables of the installed share folder.
class PetSound final {
public:
    enum Value : uint8_t {
        woof,
        whimper,
        yip,
        snore,
    };

    constexpr PetSound(Value value)
        : m_value(value)
    {
    }

    static constexpr std::array<Value, 4> allCases { woof, whimper, yip, snore };

    // Exact and case-sensitive.
    static std::optional<PetSound> fromRawValue(std::string_view text);
    std::string_view rawValue() const;
    // "woof.wav", ...
    std::string fileName() const;

    // The file beside the given localisation folder ("<share>/i18n" gives "<share>/sounds/woof.wav"),
    // when a regular file is there; nothing without a localisation folder.
    std::optional<std::filesystem::path> resourceURL(std::optional<std::filesystem::path> const& localizationFolder) const;
    // The same, beside the running installation's localisation folder, when it has one.
    std::optional<std::filesystem::path> resourceURL() const;

    constexpr Value value() const { return m_value; }
    constexpr bool operator==(PetSound const&) const = default;

private:
    Value m_value;
};

}

template<>
struct std::hash<PupnikCore::PetSound> {
    size_t operator()(PupnikCore::PetSound sound) const noexcept { return std::hash<std::string_view> {}(sound.rawValue()); }
};
