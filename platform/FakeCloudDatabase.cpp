#include "platform/FakeCloudDatabase.hpp"

#include <algorithm>

namespace Platform {

FakeCloudDatabase::FakeCloudDatabase(Scheduler* scheduler)
    : m_scheduler(scheduler)
{
}

void FakeCloudDatabase::scriptAccountStatus(CloudAccountStatus status, std::optional<CloudError> error)
{
    m_accountAnswers.emplace_back(status, std::move(error));
}

void FakeCloudDatabase::scriptFetch(std::optional<CloudRecord> record, std::optional<CloudError> error)
{
    m_fetchAnswers.push_back(FetchAnswer { std::move(record), std::move(error) });
}

void FakeCloudDatabase::scriptSave(CloudSaveOutcome outcome)
{
    m_saveAnswers.push_back(std::move(outcome));
}

void FakeCloudDatabase::scriptSubscription(std::optional<CloudError> error)
{
    m_subscriptionAnswers.push_back(std::move(error));
}

void FakeCloudDatabase::putRecord(CloudRecord record)
{
    auto name = record.recordName;
    m_records.insert_or_assign(std::move(name), std::move(record));
}

void FakeCloudDatabase::removeRecord(std::string const& recordName)
{
    m_records.erase(recordName);
}

std::optional<CloudRecord> FakeCloudDatabase::storedRecord(std::string const& recordName) const
{
    auto found = m_records.find(recordName);
    if (found == m_records.end())
        return std::nullopt;
    return found->second;
}

void FakeCloudDatabase::answer(std::function<void()> work)
{
    if (m_scheduler && m_latency > 0)
        m_pending.push_back(m_scheduler->after(m_latency, std::move(work)));
    else
        work();
}

void FakeCloudDatabase::accountStatus(AccountStatusCompletion completion)
{
    ++m_accountStatusCalls;
    auto status = CloudAccountStatus::available;
    std::optional<CloudError> error;
    if (!m_accountAnswers.empty()) {
        std::tie(status, error) = std::move(m_accountAnswers.front());
        m_accountAnswers.pop_front();
    }
    answer([completion = std::move(completion), status, error = std::move(error)] { completion(status, error); });
}

void FakeCloudDatabase::fetch(std::string const& recordName, FetchCompletion completion)
{
    ++m_fetchCalls;
    FetchAnswer result;
    if (!m_fetchAnswers.empty()) {
        result = std::move(m_fetchAnswers.front());
        m_fetchAnswers.pop_front();
    } else if (auto stored = storedRecord(recordName)) {
        result.record = std::move(stored);
    } else {
        result.error = CloudError::cloud(CloudErrorCode::unknownItem, "record not found");
    }
    answer([completion = std::move(completion), result = std::move(result)] { completion(result.record, result.error); });
}

void FakeCloudDatabase::save(CloudRecord record, CloudSavePolicy policy, SaveCompletion completion)
{
    m_saveCalls.push_back(SaveCall { record, policy });
    CloudSaveOutcome outcome;
    if (!m_saveAnswers.empty()) {
        outcome = std::move(m_saveAnswers.front());
        m_saveAnswers.pop_front();
    } else {
        auto stored = storedRecord(record.recordName);
        if (policy == CloudSavePolicy::changedKeys && stored) {
            for (auto& [key, value] : record.fields)
                stored->fields.insert_or_assign(key, std::move(value));
            record.fields = std::move(stored->fields);
        }
        record.changeTag = "tag-" + std::to_string(m_nextTag++);
        outcome.changeTag = record.changeTag;
        putRecord(std::move(record));
    }
    answer([completion = std::move(completion), outcome = std::move(outcome)] { completion(outcome); });
}

void FakeCloudDatabase::saveSubscription(CloudSubscription subscription, SubscriptionCompletion completion)
{
    m_subscriptionCalls.push_back(std::move(subscription));
    std::optional<CloudError> error;
    if (!m_subscriptionAnswers.empty()) {
        error = std::move(m_subscriptionAnswers.front());
        m_subscriptionAnswers.pop_front();
    }
    answer([completion = std::move(completion), error = std::move(error)] { completion(error); });
}

namespace {

class FakeObservation final : public Observation {
public:
    explicit FakeObservation(std::shared_ptr<std::function<void()>> onChange)
        : m_onChange(std::move(onChange))
    {
    }

private:
    // The fake holds it weakly: dropping the handle unregisters it.
    std::shared_ptr<std::function<void()>> m_onChange;
};

}

std::unique_ptr<Observation> FakeCloudDatabase::observeAccountChanges(std::function<void()> onChange)
{
    auto shared = std::make_shared<std::function<void()>>(std::move(onChange));
    m_accountObservers.push_back(shared);
    return std::make_unique<FakeObservation>(std::move(shared));
}

void FakeCloudDatabase::fireAccountChange()
{
    std::erase_if(m_accountObservers, [](auto const& observer) { return observer.expired(); });
    auto observers = m_accountObservers;
    for (auto const& observer : observers)
        if (auto onChange = observer.lock())
            (*onChange)();
}

size_t FakeCloudDatabase::accountObservers() const
{
    return static_cast<size_t>(std::count_if(m_accountObservers.begin(), m_accountObservers.end(), [](auto const& observer) { return !observer.expired(); }));
}

}
