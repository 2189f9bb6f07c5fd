#pragma once

#include "PawletKit/JSON.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace PawletKit {

// The user's answer to a permission request: what the application writes as the reply and what the
// agent tool hands back to the coding agent.
class ApprovalDecision final {
public:
    enum Value : uint8_t {
        allow,
        deny,
    };

    constexpr ApprovalDecision(Value value)
        : m_value(value)
    {
    }

    static constexpr std::array<Value, 2> allCases { allow, deny };

    // Exact and case-sensitive: "Allow" or "allow\n" give nothing.
    static std::optional<ApprovalDecision> fromRawValue(std::string_view text);
    std::string_view rawValue() const;

    // The hook's answer object; the message is carried for a denial only, also when empty.
    JSON::Object hookResponse(std::string_view message) const;

    constexpr Value value() const { return m_value; }
    constexpr bool operator==(ApprovalDecision const&) const = default;

private:
    Value m_value;
};

}

template<>
struct std::hash<PawletKit::ApprovalDecision> {
    size_t operator()(PawletKit::ApprovalDecision decision) const noexcept { return std::hash<std::string_view> {}(decision.rawValue()); }
};
