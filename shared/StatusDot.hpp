#pragma once

#include "PawletKit/JSON.hpp"
#include "shared/CollarColor.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace PawletShared {

// One agent source shown as a coloured dot with its number of sessions; identified by the source.
struct StatusDot {
    std::string source;
    int64_t count { 0 };

    // The source's collar colour; names other than "claude" and "codex" take the process colour.
    CollarColor color() const;

    PawletKit::JSON::Value jsonObject() const;
    // Both keys are required. Throws DecodingError.
    static StatusDot decode(PawletKit::JSON::Value const& object);

    bool operator==(StatusDot const&) const = default;
};

}

template<>
struct std::hash<PawletShared::StatusDot> {
    size_t operator()(PawletShared::StatusDot const& dot) const noexcept;
};
