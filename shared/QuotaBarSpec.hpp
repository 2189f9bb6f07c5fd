#pragma once

#include "PawletKit/JSON.hpp"
#include "shared/CollarColor.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace PawletShared {

// One agent's quota bar: how full it is drawn (0 to 1) and its text, withheld on hidden surfaces.
struct QuotaBarSpec {
    std::string source;
    double fraction { 0 };
    std::optional<std::string> label;

    CollarColor color() const;

    // "label" is written only when present.
    PawletKit::JSON::Value jsonObject() const;
    // "source" and "fraction" are required, "label" may be missing. Throws DecodingError.
    static QuotaBarSpec decode(PawletKit::JSON::Value const& object);

    bool operator==(QuotaBarSpec const&) const = default;
};

}

template<>
struct std::hash<PawletShared::QuotaBarSpec> {
    size_t operator()(PawletShared::QuotaBarSpec const& bar) const noexcept;
};
