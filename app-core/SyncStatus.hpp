#pragma once

#include "PawletKit/Date.hpp"
#include "app-core/Localizer.hpp"
#include "platform/TimeZone.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace PupnikCore {

// How publishing to the user's other devices stands, as the cloud publisher keeps it and the menu
// shows it in one line.
class SyncStatus final {
public:
    enum class Kind {
        // Publishing works; carries the instant of the last publish once there has been one.
        ready,
        // The last save failed; carries a text describing the failure.
        error,
        // This installation may not use its cloud container, so nothing is ever published.
        disabledNoEntitlement,
        // No usable account.
        noAccount,
    };

    static SyncStatus ready(std::optional<PawletKit::Date> lastPublished = std::nullopt) { return SyncStatus(Kind::ready, lastPublished, {}); }
    static SyncStatus error(std::string message) { return SyncStatus(Kind::error, std::nullopt, std::move(message)); }
    static SyncStatus disabledNoEntitlement() { return SyncStatus(Kind::disabledNoEntitlement, std::nullopt, {}); }
    static SyncStatus noAccount() { return SyncStatus(Kind::noAccount, std::nullopt, {}); }

    Kind kind() const { return m_kind; }
    // Present only for a ready status after a publish.
    std::optional<PawletKit::Date> const& lastPublished() const { return m_lastPublished; }
    // Empty for every kind but error.
    std::string const& message() const { return m_message; }

    // Agent product names that an error message must not show; "Claude Code" before "Claude" so
    // that it goes as one.
    static constexpr std::array<std::string_view, 7> agentProductNames { "Claude Code", "Claude", "Codex", "Cursor", "Copilot", "Gemini", "Aider" };
    // The longest error message the menu line shows, in user-perceived characters.
    static constexpr std::int64_t menuMessageLimit = 80;

    // The menu line; an absent status means the application runs without a publisher.
    static std::string menuText(std::optional<SyncStatus> const& status, bool syncOn, PawletKit::Date now, Localizer const& localizer,
        Platform::TimeZone const& zone);
    // One line, single spaces, product names replaced by "agent", at most `limit` user-perceived
    // characters (cut ones end in "…"); "?" when nothing is left. A limit below 1 counts as 1.
    static std::string cleanMessage(std::string_view message, std::int64_t limit);
    // "HH:mm" within a day of now either way, else "M/d HH:mm".
    static std::string timeText(PawletKit::Date instant, PawletKit::Date now, Platform::TimeZone const& zone);

    bool operator==(SyncStatus const&) const = default;

private:
    SyncStatus(Kind kind, std::optional<PawletKit::Date> lastPublished, std::string message)
        : m_kind(kind)
        , m_lastPublished(lastPublished)
        , m_message(std::move(message))
    {
    }

    Kind m_kind;
    std::optional<PawletKit::Date> m_lastPublished;
    std::string m_message;
};

}
