#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace PawletShared {

// An sRGB colour, components 0 to 1.
struct CollarColor {
    double red { 0 };
    double green { 0 };
    double blue { 0 };

    // 0xRRGGBB; bits above the lower 24 are ignored.
    static CollarColor fromHex(uint32_t hex);

    bool operator==(CollarColor const&) const = default;
};

}

template<>
struct std::hash<PawletShared::CollarColor> {
    size_t operator()(PawletShared::CollarColor const& color) const noexcept;
};
