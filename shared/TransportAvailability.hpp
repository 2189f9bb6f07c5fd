#pragma once

#include <string>

namespace PawletShared {

// Whether a status transport can deliver: unavailable (with a short machine word as reason),
// not yet known, or available.
class TransportAvailability final {
public:
    enum class Kind {
        unavailable,
        unknown,
        available,
    };

    static TransportAvailability unavailable(std::string reason) { return TransportAvailability(Kind::unavailable, std::move(reason)); }
    static TransportAvailability unknown() { return TransportAvailability(Kind::unknown, {}); }
    static TransportAvailability available() { return TransportAvailability(Kind::available, {}); }

    Kind kind() const { return m_kind; }
    // Empty unless unavailable.
    std::string const& reason() const { return m_reason; }
    // "available", "unknown" or "unavailable(<reason>)".
    std::string description() const;

    bool operator==(TransportAvailability const&) const = default;

private:
    TransportAvailability(Kind kind, std::string reason)
        : m_kind(kind)
        , m_reason(std::move(reason))
    {
    }

    Kind m_kind;
    std::string m_reason;
};

}
