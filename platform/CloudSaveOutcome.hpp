#pragma once

#include "platform/CloudError.hpp"

#include <optional>
#include <string>

namespace Platform {

// What a save of one record reports: the record's own result (an error, or the change tag it was
// saved with) and the result of the whole operation. The save succeeded only when neither failed.
struct CloudSaveOutcome {
    std::optional<CloudError> recordError;
    std::optional<std::string> changeTag;
    std::optional<CloudError> operationError;

    bool succeeded() const { return !recordError && !operationError; }

    bool operator==(CloudSaveOutcome const&) const = default;
};

}
