#include "Pupnik/CloudKitPublisher.hpp"

#include "app-core/CloudErrorText.hpp"
#include "app-core/Entitlements.hpp"
#include "app-core/SnapshotMapper.hpp"
#include "platform/Log.hpp"
#include "platform/SerialQueue.hpp"
#include "shared/CloudKitTransport.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Pupnik {

using PupnikCore::PublishThrottle;
using PupnikCore::SyncStatus;

struct CloudKitPublisher::Lifeline {
    std::mutex mutex;
    CloudKitPublisher* publisher;
};

std::string const& CloudKitPublisher::containerIdentifier()
{
    static std::string const identifier(PawletShared::CloudKitTransport::containerIdentifier);
    return identifier;
}

double CloudKitPublisher::backoffDelay(int64_t failures)
{
    auto const exponent = static_cast<int>(std::clamp<int64_t>(failures, 0, maxBackoffExponent));
    return std::min(std::ldexp(1.0, exponent), maxBackoff);
}

std::string CloudKitPublisher::statusDescription(SyncStatus const& status)
{
    switch (status.kind()) {
    case SyncStatus::Kind::ready:
        return "ready(lastPublished: " + (status.lastPublished() ? status.lastPublished()->iso8601() : std::string("nil")) + ")";
    case SyncStatus::Kind::error:
        return "error(" + status.message() + ")";
    case SyncStatus::Kind::noAccount:
        return "noAccount";
    case SyncStatus::Kind::disabledNoEntitlement:
        return "disabledNoEntitlement";
    }
    return "unknown";
}

CloudKitPublisher::CloudKitPublisher(bool enabled, bool hasContainer, Services services)
    : m_database(hasContainer ? std::move(services.database) : nullptr)
    , m_clock(services.clock ? *services.clock : m_systemClock)
    , m_mainThread(services.mainThread)
    , m_log(services.log ? std::move(services.log) : [](std::string_view text) { Platform::Log::line(text); })
    , m_entitledContainers(services.entitledContainers ? std::move(services.entitledContainers)
                                                       : [] { return PupnikCore::Entitlements::iCloudContainers(); })
    , m_state(m_database ? SyncStatus::ready() : SyncStatus::disabledNoEntitlement())
    , m_enabled(enabled)
    , m_lifeline(std::make_shared<Lifeline>())
    , m_queue(services.queue ? std::move(services.queue) : std::make_unique<Platform::SerialQueue>(std::string(queueLabel)))
{
    m_lifeline->publisher = this;
}

CloudKitPublisher::~CloudKitPublisher()
{
    stop();
    {
        std::lock_guard lock(m_lifeline->mutex);
        m_lifeline->publisher = nullptr;
    }
    // Work not begun is dropped and the piece that runs finishes while every field still exists.
    m_queue.reset();
}

void CloudKitPublisher::post(std::weak_ptr<Lifeline> const& weak, std::function<void(CloudKitPublisher&)> work)
{
    auto line = weak.lock();
    if (!line)
        return;
    // Held while the work is queued, so the publisher cannot end in between.
    std::lock_guard lock(line->mutex);
    if (auto* publisher = line->publisher)
        publisher->m_queue->async([publisher, work = std::move(work)] { work(*publisher); });
}

void CloudKitPublisher::log(std::string const& text) const { m_log(text); }

void CloudKitPublisher::start()
{
    if (!m_database) {
        log("cloud: this build carries no iCloud entitlement — publisher disabled");
        return;
    }
    // The observer's report comes on the database's thread; the query it leads to goes out from the
    // queue, like every other call to the database.
    m_accountObserver.reset();
    m_accountObserver = m_database->observeAccountChanges(
        [weak = std::weak_ptr(m_lifeline)] { post(weak, [](CloudKitPublisher& publisher) { publisher.refreshAccountStatus(); }); });
    m_queue->async([this] { refreshAccountStatus(); });
    m_timer = m_queue->repeating(tickInterval, tickInterval, [this] { tick(); });
}

void CloudKitPublisher::stop()
{
    m_timer.reset();
    m_accountObserver.reset();
}

void CloudKitPublisher::update(PawletKit::PawletState const& state, PupnikCore::Skin skin)
{
    m_queue->async([this, latest = Latest { state, skin }]() mutable {
        m_latest = std::move(latest);
        tick();
    });
}

void CloudKitPublisher::setEnabled(bool enabled)
{
    m_queue->async([this, enabled] {
        m_enabled = enabled;
        if (enabled)
            tick();
    });
}

SyncStatus CloudKitPublisher::state() const
{
    std::optional<SyncStatus> status;
    m_queue->sync([&] { status = m_state; });
    return status.value_or(m_database ? SyncStatus::ready() : SyncStatus::disabledNoEntitlement());
}

bool CloudKitPublisher::enabled() const
{
    bool value = false;
    m_queue->sync([&] { value = m_enabled; });
    return value;
}

void CloudKitPublisher::setOnStateChange(std::function<void(SyncStatus const&)> onStateChange)
{
    m_queue->async([this, onStateChange = std::move(onStateChange)]() mutable { m_onStateChange = std::move(onStateChange); });
}

void CloudKitPublisher::setState(SyncStatus status)
{
    if (status == m_state)
        return;
    m_state = std::move(status);
    if (!m_onStateChange || !m_mainThread)
        return;
    std::weak_ptr<Lifeline> weak = m_lifeline;
    m_mainThread->post([weak, callback = m_onStateChange, status = m_state] {
        auto line = weak.lock();
        if (!line)
            return;
        {
            std::lock_guard lock(line->mutex);
            if (!line->publisher)
                return;
        }
        callback(status);
    });
}

void CloudKitPublisher::tick()
{
    if (!m_database || !m_enabled || !m_accountAvailable || m_inFlight || !m_latest)
        return;
    if (m_backoffUntil && m_clock.monotonic() < *m_backoffUntil)
        return;
    auto const now = PawletKit::Date::fromSeconds(m_clock.now());
    auto const snapshot = PupnikCore::SnapshotMapper::map(m_latest->state, now, m_latest->skin);
    // The throttle learns of a publish only once it succeeded.
    if (auto reason = m_throttle.decide(snapshot, now))
        publish(snapshot, *reason, now);
}

void CloudKitPublisher::refreshAccountStatus()
{
    if (!m_database)
        return;
    m_database->accountStatus([weak = std::weak_ptr(m_lifeline)](Platform::CloudAccountStatus status, std::optional<Platform::CloudError> error) {
        post(weak, [status, error = std::move(error)](CloudKitPublisher& publisher) { publisher.handleAccountStatus(status, error); });
    });
}

void CloudKitPublisher::handleAccountStatus(Platform::CloudAccountStatus status, std::optional<Platform::CloudError> const& error)
{
    if (status == Platform::CloudAccountStatus::available) {
        m_accountAvailable = true;
        if (m_state.kind() == SyncStatus::Kind::noAccount)
            setState(SyncStatus::ready(m_lastPublished));
    } else {
        m_accountAvailable = false;
        setState(SyncStatus::noAccount());
        std::string text = "cloud: accountStatus=" + PupnikCore::CloudErrorText::accountStatusName(status);
        if (error)
            text += " (" + PupnikCore::CloudErrorText::describe(*error) + ")";
        log(text);
    }
    tick();
}

void CloudKitPublisher::publish(PawletShared::PetSnapshot const& snapshot, PublishThrottle::Reason reason, PawletKit::Date sentAt)
{
    Platform::CloudRecord record;
    try {
        record = PawletShared::CloudKitTransport::record(snapshot);
    } catch (PawletShared::PetSnapshot::EncodingError const& error) {
        setState(SyncStatus::error(std::string("encoding(0): ") + error.what()));
        log(std::string("cloud: could not encode snapshot: ") + error.what());
        return;
    }
    m_inFlight = true;
    m_database->save(std::move(record), Platform::CloudSavePolicy::changedKeys,
        [weak = std::weak_ptr(m_lifeline), snapshot, reason, sentAt](Platform::CloudSaveOutcome outcome) {
            post(weak, [outcome = std::move(outcome), snapshot, reason, sentAt](CloudKitPublisher& publisher) {
                publisher.handleSaveResult(outcome, snapshot, reason, sentAt);
            });
        });
}

void CloudKitPublisher::handleSaveResult(Platform::CloudSaveOutcome const& outcome, PawletShared::PetSnapshot const& snapshot,
    PublishThrottle::Reason reason, PawletKit::Date sentAt)
{
    m_inFlight = false;
    auto const now = PawletKit::Date::fromSeconds(m_clock.now());
    if (outcome.succeeded()) {
        m_failures = 0;
        m_backoffUntil.reset();
        m_throttle.markPublished(snapshot, sentAt);
        m_lastPublished = now;
        setState(SyncStatus::ready(now));
        if (reason != PublishThrottle::Reason::heartbeat)
            log("cloud: published " + std::string(PawletShared::rawValue(snapshot.gait)) + "/" + std::string(PawletShared::rawValue(snapshot.mood))
                + " busy=" + std::to_string(snapshot.totalCount()) + " (" + std::string(PupnikCore::rawValue(reason))
                + ") tag=" + outcome.changeTag.value_or("-"));
        tick();
        return;
    }
    // The operation's own error first: it says why the record's result, if any, came to nothing.
    auto const& error = outcome.operationError ? *outcome.operationError : *outcome.recordError;
    if (m_failures < std::numeric_limits<int64_t>::max())
        ++m_failures;
    double const delay = backoffDelay(m_failures);
    m_backoffUntil = m_clock.monotonic() + delay;
    if (error.isCloud(Platform::CloudErrorCode::notAuthenticated)) {
        m_accountAvailable = false;
        setState(SyncStatus::noAccount());
        refreshAccountStatus();
    } else {
        setState(SyncStatus::error(PupnikCore::CloudErrorText::shortMessage(error)));
    }
    log("cloud: save failed (attempt " + std::to_string(m_failures) + ", retry in " + std::to_string(static_cast<int64_t>(delay))
        + " s): " + PupnikCore::CloudErrorText::describe(error));
    tick();
}

void CloudKitPublisher::debugCloudStatus() const
{
    auto const containers = m_entitledContainers();
    std::string list = "[";
    for (size_t index = 0; index < containers.size(); ++index)
        list += (index ? ", \"" : "\"") + containers[index] + "\"";
    list += "]";
    log("debug: cloud publisher state=" + statusDescription(state()) + " enabled=" + (enabled() ? "true" : "false")
        + " entitled=" + (m_database ? "true" : "false") + " containers=" + list + " container=" + containerIdentifier());
    if (!m_database) {
        log("debug: cloud no container (unentitled build) — nothing to fetch");
        return;
    }
    // The answers hold copies of what they use, so they may come after the publisher has gone.
    auto database = m_database;
    auto logLine = m_log;
    database->accountStatus([database, logLine](Platform::CloudAccountStatus status, std::optional<Platform::CloudError> error) {
        std::string text = "debug: cloud accountStatus=" + PupnikCore::CloudErrorText::accountStatusName(status);
        if (error)
            text += " error=" + PupnikCore::CloudErrorText::describe(*error);
        logLine(text);
        std::string const recordName(PawletShared::CloudKitTransport::recordName);
        database->fetch(recordName, [logLine](std::optional<Platform::CloudRecord> record, std::optional<Platform::CloudError> fetchError) {
            std::string const what = "debug: cloud fetch " + std::string(PawletShared::CloudKitTransport::recordType) + "/"
                + std::string(PawletShared::CloudKitTransport::recordName);
            if (!record) {
                logLine(what + " failed: " + (fetchError ? PupnikCore::CloudErrorText::describe(*fetchError) : std::string("no error")));
                return;
            }
            auto const* updatedAt = record->field(PawletShared::CloudKitTransport::updatedAtField);
            auto const date = updatedAt ? updatedAt->asDate() : std::nullopt;
            auto const* json = record->field(PawletShared::CloudKitTransport::jsonField);
            auto const bytes = json ? json->asBytes() : std::nullopt;
            std::string decoded = "nil";
            if (auto snapshot = PawletShared::CloudKitTransport::snapshot(*record))
                decoded = std::string(PawletShared::rawValue(snapshot->gait)) + "/" + std::string(PawletShared::rawValue(snapshot->mood))
                    + " busy=" + std::to_string(snapshot->totalCount());
            logLine(what + " ok updatedAt=" + (date ? date->iso8601() : std::string("nil")) + " jsonBytes="
                + std::to_string(bytes ? bytes->size() : 0) + " decoded=" + decoded + " modified="
                + (record->modifiedAt ? record->modifiedAt->iso8601() : std::string("nil")) + " tag=" + record->changeTag.value_or("nil"));
        });
    });
}

}
