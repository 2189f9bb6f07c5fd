#pragma once

namespace PupnikCore::ApprovalClickGuard {

// An allow or deny that lands on the approval popover too soon after it appeared was most likely meant
// for the pet (or is the second half of a double click); it is ignored and the request stays pending.

// Seconds.
constexpr double settleWindow = 0.5;

// Both instants are seconds on one monotonic clock. True when the time from shownAt to now is finite
// and at least the window; with a window of zero or more, a now before shownAt is never allowed.
bool allows(double shownAt, double now, double window = settleWindow);

}
