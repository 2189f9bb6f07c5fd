#pragma once

namespace PupnikCore {

// Where launch at login stands, as the menu's row shows it.
enum class LoginItemStatus {
    // Not running from an installation: nothing could be registered, the row is disabled.
    unavailable,
    notRegistered,
    enabled,
    // Registered, but the desktop still waits for the user's consent.
    requiresApproval,
};

}
