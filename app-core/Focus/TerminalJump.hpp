#pragma once

#include "app-core/Focus/TerminalApp.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace PupnikCore {

// The most precise way into a session's tab, pane or window inside its application.
class TerminalJump final {
public:
    // Run this tab-selection script (Terminal, iTerm2).
    struct AppleScript {
        std::string script;
        bool operator==(AppleScript const&) const = default;
    };
    // Choose among Ghostty's windows.
    struct Ghostty {
        std::optional<std::string> tty;
        std::optional<std::string> cwd;
        bool operator==(Ghostty const&) const = default;
    };
    // Activate the WezTerm pane on this terminal.
    struct WezTerm {
        std::string tty;
        bool operator==(WezTerm const&) const = default;
    };
    // Focus the kitty window running one of these processes, or sitting in this directory.
    struct Kitty {
        std::vector<int32_t> pids;
        std::optional<std::string> cwd;
        bool operator==(Kitty const&) const = default;
    };
    // Reopen the folder in the editor's window.
    struct Editor {
        TerminalApp app;
        std::string cwd;
        bool operator==(Editor const&) const = default;
    };
    // Only activate the application.
    struct None {
        bool operator==(None const&) const = default;
    };

    using Payload = std::variant<None, AppleScript, Ghostty, WezTerm, Kitty, Editor>;

    TerminalJump() = default;
    // From any one of the cases.
    template<typename Case>
    requires std::is_constructible_v<Payload, Case&&>
    TerminalJump(Case&& value)
        : m_payload(std::forward<Case>(value))
    {
    }

    // The jump for the application named by the identifier; terminal names are used only when valid,
    // directories only once sanitised. Whatever a jump needs and lacks gives None.
    static TerminalJump make(std::optional<std::string_view> bundleId, std::optional<std::string_view> tty,
        std::optional<std::string_view> cwd, std::span<int32_t const> pids);
    // The same without process ids, so kitty is only activated.
    static TerminalJump make(std::optional<std::string_view> bundleId, std::optional<std::string_view> tty,
        std::optional<std::string_view> cwd);

    Payload const& payload() const { return m_payload; }
    template<typename Case>
    Case const* as() const
    {
        return std::get_if<Case>(&m_payload);
    }
    bool isNone() const { return std::holds_alternative<None>(m_payload); }

    // The text of an AppleScript jump.
    std::optional<std::string> script() const;
    // A short readable form for logs and test failures: "kitty([812], /tmp)".
    std::string description() const;

    bool operator==(TerminalJump const&) const = default;

private:
    static TerminalJump made(std::optional<std::string_view> bundleId, std::optional<std::string_view> tty,
        std::optional<std::string_view> cwd, std::optional<std::span<int32_t const>> pids);

    Payload m_payload;
};

}
