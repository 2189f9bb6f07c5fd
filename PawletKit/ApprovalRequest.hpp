#pragma once

#include "PawletKit/JSON.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace PawletKit {

// One permission request as the agent tool posts it into the approval mailbox. Its JSON form is the
// contract between the agent tool and the application, whichever versions of each are running.
struct ApprovalRequest {
    static constexpr int64_t schemaVersion = 1;
    static constexpr size_t maxIdLength = 64;
    // How long a request that names no expiry of its own stays open.
    static constexpr double defaultWaitSeconds = 115.0;

    std::string id;
    std::string tool;
    std::string target;
    std::string summary;
    bool truncated { false };
    int64_t truncatedLines { 0 };
    std::string sessionId;
    std::string promptId;
    std::string cwd;
    std::string permissionMode;
    int64_t hookPid { 0 };
    double createdAt { 0 };
    double expiresAt { 0 };

    // All fourteen members ("schema" included), empty strings too.
    JSON::Object jsonObject() const;
    // Lenient: only a missing or invalid "id" rejects the record; any other member of the wrong type
    // takes its default.
    static std::optional<ApprovalRequest> fromJSON(JSON::Value const& json);

    // 1 to 64 characters, each an ASCII letter, digit, "-" or "_". Ids name files, so nothing else
    // (no ".", no "/") may pass.
    static bool isValidId(std::string_view id);

    // The last folder name of cwd; empty for an empty cwd or the root.
    std::string projectName() const;
    // A path target shows its last component; any other target shows as it is.
    std::string targetDisplayName() const;

    bool operator==(ApprovalRequest const&) const = default;
};

}
