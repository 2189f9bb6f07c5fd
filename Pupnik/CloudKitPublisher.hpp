#pragma once

#include "PawletKit/PawletState.hpp"
#include "app-core/PublishThrottle.hpp"
#include "app-core/Skin.hpp"
#include "app-core/SyncStatus.hpp"
#include "platform/Clock.hpp"
#include "platform/CloudDatabase.hpp"
#include "platform/Scheduler.hpp"
#include "platform/WorkQueue.hpp"
#include "shared/PetSnapshot.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Pupnik {

// Publishes the pet's state as the one record of the private cloud database that companion displays
// follow. It keeps only the newest engine state, looks at it once a second on its own serial queue,
// and sends a snapshot only when the throttle finds it worth it, one save at a time; failed saves
// back off exponentially up to five minutes. Every field below the queue belongs to the queue;
// other threads read the status and the switch through state() and enabled().
class CloudKitPublisher final {
public:
    static constexpr std::string_view queueLabel = "com.ardlow.tailbase.cloud-publisher";
    static constexpr double tickInterval = 1.0;
    static constexpr double tickLeeway = 0.2;
    static constexpr double maxBackoff = 300;
    // 2^9 s is past the cap already; a larger exponent could only overflow.
    static constexpr int maxBackoffExponent = 9;

    struct Services {
        // The private database of the container; ignored without the entitlement.
        std::shared_ptr<Platform::CloudDatabase> database;
        // Wall time for snapshots and the status, monotonic time for the back-off; outlives the
        // publisher. The system's when absent.
        Platform::Clock const* clock { nullptr };
        // Where onStateChange is called; without it the callback is never called.
        Platform::Scheduler* mainThread { nullptr };
        // A SerialQueue when absent.
        std::unique_ptr<Platform::WorkQueue> queue;
        // The diagnostic log; Platform::Log::line when absent.
        std::function<void(std::string_view)> log;
        // The containers the installation is entitled to, for the debug report; the installation's when absent.
        std::function<std::vector<std::string>()> entitledContainers;
    };

    static std::string const& containerIdentifier();
    // The wait after this many consecutive failures: 2, 4, 8, ... 256, then 300 seconds.
    static double backoffDelay(int64_t failures);
    // "ready(lastPublished: <ISO 8601>|nil)", "error(<message>)", "noAccount", "disabledNoEntitlement".
    static std::string statusDescription(PupnikCore::SyncStatus const& status);

    CloudKitPublisher(bool enabled, bool hasContainer, Services services);
    ~CloudKitPublisher();
    CloudKitPublisher(CloudKitPublisher const&) = delete;
    CloudKitPublisher& operator=(CloudKitPublisher const&) = delete;

    // Main thread, once: the account observer, the account query and the one-second tick.
    void start();
    // Main thread: ends the tick and the account observer. Runs again on destruction.
    void stop();
    // Any state for the record, the live ones and the demo's alike; only the newest is kept.
    void update(PawletKit::PawletState const& state, PupnikCore::Skin skin);
    void setEnabled(bool enabled);
    PupnikCore::SyncStatus state() const;
    bool enabled() const;
    bool hasDatabase() const { return m_database != nullptr; }
    void setOnStateChange(std::function<void(PupnikCore::SyncStatus const&)> onStateChange);
    // Logs the publisher's state, then the account and the stored record as the database reports them.
    void debugCloudStatus() const;

private:
    struct Lifeline;

    // Runs the work on the publisher's queue while it lives; for callbacks of other threads.
    static void post(std::weak_ptr<Lifeline> const& weak, std::function<void(CloudKitPublisher&)> work);
    void setState(PupnikCore::SyncStatus status);
    void tick();
    void refreshAccountStatus();
    void handleAccountStatus(Platform::CloudAccountStatus status, std::optional<Platform::CloudError> const& error);
    // The throttle counts a publish from when it was sent, so a state handed in while a slow save
    // was in flight goes out with that save's result when the save took the least interval or longer.
    void publish(PawletShared::PetSnapshot const& snapshot, PupnikCore::PublishThrottle::Reason reason, PawletKit::Date sentAt);
    void handleSaveResult(Platform::CloudSaveOutcome const& outcome, PawletShared::PetSnapshot const& snapshot,
        PupnikCore::PublishThrottle::Reason reason, PawletKit::Date sentAt);
    void log(std::string const& text) const;

    std::shared_ptr<Platform::CloudDatabase> m_database;
    Platform::SystemClock m_systemClock;
    Platform::Clock const& m_clock;
    Platform::Scheduler* m_mainThread;
    std::function<void(std::string_view)> m_log;
    std::function<std::vector<std::string>()> m_entitledContainers;

    PupnikCore::SyncStatus m_state;
    bool m_enabled;
    struct Latest {
        PawletKit::PawletState state;
        PupnikCore::Skin skin;
    };
    std::optional<Latest> m_latest;
    PupnikCore::PublishThrottle m_throttle;
    // When the last save succeeded; the throttle's time is when that save was sent.
    std::optional<PawletKit::Date> m_lastPublished;
    bool m_inFlight { false };
    int64_t m_failures { 0 };
    // On the monotonic clock.
    std::optional<double> m_backoffUntil;
    bool m_accountAvailable { false };
    std::function<void(PupnikCore::SyncStatus const&)> m_onStateChange;

    // Main thread only.
    std::unique_ptr<Platform::ScheduledWork> m_timer;
    std::unique_ptr<Platform::Observation> m_accountObserver;

    // What callbacks from other threads hold weakly; it says "gone" before the queue ends.
    std::shared_ptr<Lifeline> m_lifeline;
    std::unique_ptr<Platform::WorkQueue> m_queue;
};

}
