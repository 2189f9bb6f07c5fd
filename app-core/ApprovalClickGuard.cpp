#include "app-core/ApprovalClickGuard.hpp"

#include <cmath>

namespace PupnikCore::ApprovalClickGuard {

bool allows(double shownAt, double now, double window)
{
    double const elapsed = now - shownAt;
    // A NaN window compares false and so allows nothing.
    return std::isfinite(elapsed) && elapsed >= window;
}

}
