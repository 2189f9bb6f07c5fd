#pragma once

namespace PupnikCore::ClickClassifier {

// Tells a press on the pet apart as a click or the start of a drag, from how far the pointer travelled
// and how long the button was held since the press.

enum class Kind {
    click,
    drag,
};

// Points of pointer travel and seconds held; both limits are inclusive.
constexpr double clickMaxDistance = 6;
constexpr double clickMaxDuration = 0.4;

// A click needs both measures finite and within their limits; anything else, a NaN anywhere included,
// is a drag.
Kind classify(double distance, double duration, double maxDistance = clickMaxDistance, double maxDuration = clickMaxDuration);

}
