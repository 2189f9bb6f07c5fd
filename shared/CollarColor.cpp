#include "shared/CollarColor.hpp"

#include <functional>

namespace PawletShared {

CollarColor CollarColor::fromHex(uint32_t hex)
{
    return {
        static_cast<double>((hex >> 16) & 0xff) / 255.0,
        static_cast<double>((hex >> 8) & 0xff) / 255.0,
        static_cast<double>(hex & 0xff) / 255.0,
    };
}

}

size_t std::hash<PawletShared::CollarColor>::operator()(PawletShared::CollarColor const& color) const noexcept
{
    // Equal colours hash alike: 0 and -0 compare equal, so both hash as 0.
    auto component = [](double value) { return std::hash<double> {}(value == 0 ? 0.0 : value); };
    size_t seed = 0;
    for (double value : { color.red, color.green, color.blue })
        seed ^= component(value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return seed;
}
