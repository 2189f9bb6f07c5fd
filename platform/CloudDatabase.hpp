#pragma once

#include "platform/CloudAccountStatus.hpp"
#include "platform/CloudError.hpp"
#include "platform/CloudRecord.hpp"
#include "platform/CloudSaveOutcome.hpp"
#include "platform/CloudSavePolicy.hpp"
#include "platform/CloudSubscription.hpp"
#include "platform/Observation.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Platform {

// A private cloud database of one container, with the account that owns it. Every operation
// answers through its completion exactly once, on a thread of the database's choosing, possibly
// before the call returns: callers move the answer to their own thread.
class CloudDatabase {
public:
    using AccountStatusCompletion = std::function<void(CloudAccountStatus, std::optional<CloudError>)>;
    // A record, or the error that kept it away (unknownItem when there is no such record).
    using FetchCompletion = std::function<void(std::optional<CloudRecord>, std::optional<CloudError>)>;
    using SaveCompletion = std::function<void(CloudSaveOutcome)>;
    using SubscriptionCompletion = std::function<void(std::optional<CloudError>)>;

    virtual ~CloudDatabase() = default;

    virtual void accountStatus(AccountStatusCompletion completion) = 0;
    virtual void fetch(std::string const& recordName, FetchCompletion completion) = 0;
    virtual void save(CloudRecord record, CloudSavePolicy policy, SaveCompletion completion) = 0;
    virtual void saveSubscription(CloudSubscription subscription, SubscriptionCompletion completion) = 0;
    // Calls onChange, on a thread of the database's choosing, whenever the account may have changed,
    // until the handle is dropped. A database whose account never changes never calls.
    [[nodiscard]] virtual std::unique_ptr<Observation> observeAccountChanges(std::function<void()> onChange);
};

}
