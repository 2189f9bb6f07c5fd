#pragma once

#include "platform/CloudDatabase.hpp"
#include "platform/Scheduler.hpp"

#include <deque>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace Platform {

// A cloud database for tests. Each operation takes the next scripted answer for its kind; with none
// left it answers from the fake's own records (available account, fetch of what was saved or
// unknownItem, saves stored with a fresh change tag, subscriptions accepted; account changes come
// only from fireAccountChange). Answers come at once,
// or after the latency on the given scheduler.
class FakeCloudDatabase final : public CloudDatabase {
public:
    struct FetchAnswer {
        std::optional<CloudRecord> record;
        std::optional<CloudError> error;
    };
    struct SaveCall {
        CloudRecord record;
        CloudSavePolicy policy;
    };

    explicit FakeCloudDatabase(Scheduler* scheduler = nullptr);

    void setLatency(double seconds) { m_latency = seconds; }

    void scriptAccountStatus(CloudAccountStatus status, std::optional<CloudError> error = std::nullopt);
    void scriptFetch(std::optional<CloudRecord> record, std::optional<CloudError> error = std::nullopt);
    void scriptSave(CloudSaveOutcome outcome);
    void scriptSubscription(std::optional<CloudError> error);

    void putRecord(CloudRecord record);
    void removeRecord(std::string const& recordName);
    std::optional<CloudRecord> storedRecord(std::string const& recordName) const;

    int accountStatusCalls() const { return m_accountStatusCalls; }
    int fetchCalls() const { return m_fetchCalls; }
    std::vector<SaveCall> const& saveCalls() const { return m_saveCalls; }
    std::vector<CloudSubscription> const& subscriptionCalls() const { return m_subscriptionCalls; }

    void accountStatus(AccountStatusCompletion completion) override;
    void fetch(std::string const& recordName, FetchCompletion completion) override;
    void save(CloudRecord record, CloudSavePolicy policy, SaveCompletion completion) override;
    void saveSubscription(CloudSubscription subscription, SubscriptionCompletion completion) override;
    std::unique_ptr<Observation> observeAccountChanges(std::function<void()> onChange) override;

    // Tells every observer that is still registered, on the calling thread.
    void fireAccountChange();
    size_t accountObservers() const;

private:
    void answer(std::function<void()> work);

    Scheduler* m_scheduler;
    double m_latency { 0 };
    std::vector<std::unique_ptr<ScheduledWork>> m_pending;
    std::deque<std::pair<CloudAccountStatus, std::optional<CloudError>>> m_accountAnswers;
    std::deque<FetchAnswer> m_fetchAnswers;
    std::deque<CloudSaveOutcome> m_saveAnswers;
    std::deque<std::optional<CloudError>> m_subscriptionAnswers;
    std::map<std::string, CloudRecord> m_records;
    int m_nextTag { 1 };
    int m_accountStatusCalls { 0 };
    int m_fetchCalls { 0 };
    std::vector<SaveCall> m_saveCalls;
    std::vector<CloudSubscription> m_subscriptionCalls;
    std::vector<std::weak_ptr<std::function<void()>>> m_accountObservers;
};

}
