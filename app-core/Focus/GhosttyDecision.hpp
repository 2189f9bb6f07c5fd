#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace PupnikCore {

// Which Ghostty window to raise, or how to find out.
class GhosttyDecision final {
public:
    // Raise the window with this index; the reason names the rule that chose it.
    struct Raise {
        int64_t index { 0 };
        std::string reason;
        bool operator==(Raise const&) const = default;
    };
    // Write a title probe to the terminal and watch these windows for it.
    struct Probe {
        std::string tty;
        std::vector<int64_t> candidates;
        bool operator==(Probe const&) const = default;
    };
    // Only activate Ghostty.
    struct ActivateOnly {
        bool operator==(ActivateOnly const&) const = default;
    };

    using Payload = std::variant<ActivateOnly, Raise, Probe>;

    GhosttyDecision() = default;
    // From any one of the cases.
    template<typename Case>
    requires std::is_constructible_v<Payload, Case&&>
    GhosttyDecision(Case&& value)
        : m_payload(std::forward<Case>(value))
    {
    }

    Payload const& payload() const { return m_payload; }
    template<typename Case>
    Case const* as() const
    {
        return std::get_if<Case>(&m_payload);
    }

    // "raise(1, cwd)", "probe(pts/3, [0, 2])", "activateOnly": for logs and test failures.
    std::string description() const;

    bool operator==(GhosttyDecision const&) const = default;

private:
    Payload m_payload;
};

}
