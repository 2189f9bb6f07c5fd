#pragma once

#include <string>

namespace Platform {

// A standing query on a record type that asks the service for a silent notification when such a
// record is created (option bit 1) or updated (option bit 2).
struct CloudSubscription {
    static constexpr int firesOnRecordCreation = 1;
    static constexpr int firesOnRecordUpdate = 2;

    std::string subscriptionID;
    std::string recordType;
    int options { firesOnRecordCreation | firesOnRecordUpdate };

    bool operator==(CloudSubscription const&) const = default;
};

}
