#include "app-core/ClickClassifier.hpp"

#include <cmath>

namespace PupnikCore::ClickClassifier {

Kind classify(double distance, double duration, double maxDistance, double maxDuration)
{
    // Comparisons with NaN are false, so a NaN limit falls through to a drag as well.
    bool const within = std::isfinite(distance) && std::isfinite(duration) && distance <= maxDistance && duration <= maxDuration;
    return within ? Kind::click : Kind::drag;
}

}
