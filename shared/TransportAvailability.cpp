#include "shared/TransportAvailability.hpp"

namespace PawletShared {

std::string TransportAvailability::description() const
{
    switch (m_kind) {
    case Kind::unavailable:
        return "unavailable(" + m_reason + ")";
    case Kind::unknown:
        return "unknown";
    case Kind::available:
        return "available";
    }
    return "unknown";
}

}
