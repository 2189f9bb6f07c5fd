#pragma once

#include "platform/CloudDatabase.hpp"
#include "platform/DefaultsStore.hpp"
#include "platform/Scheduler.hpp"
#include "shared/StatusTransport.hpp"

#include <memory>
#include <optional>
#include <string_view>

namespace PawletShared {

// Follows the one published pet record ("PetStatus" named "current") in the private cloud
// database: watches the account, polls the record every 20 s, subscribes once to its changes, and
// hands each snapshot that differs from the last one delivered to onSnapshot. Everything runs on
// the main thread: the database's answers are moved there through the scheduler and are dropped
// once the transport is gone.
class CloudKitTransport final : public StatusTransport {
public:
    static constexpr std::string_view containerIdentifier = "iCloud.com.ardlow.tailbase";
    static constexpr std::string_view recordType = "PetStatus";
    static constexpr std::string_view recordName = "current";
    static constexpr std::string_view subscriptionID = "petstatus-current-v1";
    // True in user defaults once the subscription is known to exist on the server.
    static constexpr std::string_view subscriptionFlagKey = "cloudkit.subscription.petstatus-current-v1";
    static constexpr std::string_view jsonField = "json";
    static constexpr std::string_view updatedAtField = "updatedAt";
    static constexpr double pollInterval = 20;

    // The database, defaults and scheduler must outlive the transport and its outstanding requests.
    CloudKitTransport(std::shared_ptr<Platform::CloudDatabase> database, Platform::DefaultsStore& defaults, Platform::Scheduler& mainThread);
    ~CloudKitTransport() override;
    CloudKitTransport(CloudKitTransport const&) = delete;
    CloudKitTransport& operator=(CloudKitTransport const&) = delete;

    void start() override;
    void stop() override;
    void refresh() override;

    bool isRunning() const { return m_running; }
    // Absent until the first account answer.
    std::optional<bool> accountAvailable() const { return m_accountAvailable; }

    // The record's snapshot: "json" decoded, its time replaced by the "updatedAt" field when that is
    // a date. Nothing when "json" is missing, not bytes or does not decode.
    static std::optional<PetSnapshot> snapshot(Platform::CloudRecord const& record);
    // A new record holding the encoded snapshot and its time. Throws PetSnapshot::EncodingError.
    static Platform::CloudRecord record(PetSnapshot const& snapshot);

private:
    static std::optional<PetSnapshot::Reading> read(Platform::CloudRecord const& record, PawletKit::Date readTime);

    template<typename Handler>
    auto onMainThread(Handler handler);

    void requestAccountStatus();
    void handleAccountStatus(Platform::CloudAccountStatus status, std::optional<Platform::CloudError> error);
    void fetch();
    void handleFetch(std::optional<Platform::CloudRecord> record, std::optional<Platform::CloudError> error);
    void subscribe();
    void handleSubscription(std::optional<Platform::CloudError> error);
    // False when the observer dropped the transport while it was told; nothing may follow then.
    bool report(TransportAvailability availability);

    std::shared_ptr<Platform::CloudDatabase> m_database;
    Platform::DefaultsStore& m_defaults;
    Platform::Scheduler& m_mainThread;
    std::unique_ptr<Platform::ScheduledWork> m_timer;
    bool m_running { false };
    std::optional<PetSnapshot> m_lastDelivered;
    std::optional<bool> m_accountAvailable;
    // What the database's answers and the timer hold weakly; it points nowhere once the transport is gone.
    std::shared_ptr<CloudKitTransport*> m_anchor;
};

}
