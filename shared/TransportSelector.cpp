#include "shared/TransportSelector.hpp"

namespace PawletShared::TransportSelector {

TransportKind choose(bool demoRequested, bool demoForced, bool cloudUsable, bool demoFallback)
{
    if (demoRequested || demoForced)
        return TransportKind::demo;
    if (cloudUsable)
        return TransportKind::cloud;
    if (demoFallback)
        return TransportKind::demo;
    return TransportKind::idle;
}

}
