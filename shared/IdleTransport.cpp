#include "shared/IdleTransport.hpp"

namespace PawletShared {

void IdleTransport::start()
{
    if (onAvailability)
        onAvailability(TransportAvailability::unavailable("noTransport"));
}

}
