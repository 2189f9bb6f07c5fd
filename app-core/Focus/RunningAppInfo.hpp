#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace PupnikCore {

// One running application as the window system reports it.
struct RunningAppInfo {
    int32_t pid { 0 };
    // The identifier the focus rules key on; on Linux it comes from LinuxAppIdentity.
    std::optional<std::string> bundleId;
    std::optional<std::string> localizedName;
    // An ordinary application with windows of its own, not a panel, dock or helper.
    bool isRegular { false };

    bool operator==(RunningAppInfo const&) const = default;
};

}
