#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace PupnikCore {

// The terminals and editors whose windows the focuser knows how to reach.
class TerminalApp final {
public:
    enum Value : uint8_t {
        appleTerminal,
        iterm2,
        ghostty,
        wezterm,
        kitty,
        warp,
        vscode,
        cursor,
    };

    constexpr TerminalApp(Value value)
        : m_value(value)
    {
    }

    static constexpr std::array<Value, 8> allCases { appleTerminal, iterm2, ghostty, wezterm, kitty, warp, vscode, cursor };

    // Exact raw values only.
    static std::optional<TerminalApp> fromRawValue(std::string_view text);
    // The first case, in case order, that lists the identifier exactly (case-sensitive).
    static std::optional<TerminalApp> fromBundleId(std::optional<std::string_view> bundleId);

    std::string_view rawValue() const;
    std::span<std::string_view const> bundleIdentifiers() const;

    constexpr Value value() const { return m_value; }
    constexpr bool operator==(TerminalApp const&) const = default;

private:
    Value m_value;
};

}

template<>
struct std::hash<PupnikCore::TerminalApp> {
    size_t operator()(PupnikCore::TerminalApp app) const noexcept { return std::hash<int> {}(app.value()); }
};
