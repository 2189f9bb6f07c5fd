#include "shared/CloudKitTransport.hpp"

#include "platform/Log.hpp"

#include <cmath>

namespace PawletShared {

using Platform::CloudAccountStatus;
using Platform::CloudError;
using Platform::CloudRecord;
using Platform::CloudValue;

CloudKitTransport::CloudKitTransport(std::shared_ptr<Platform::CloudDatabase> database, Platform::DefaultsStore& defaults, Platform::Scheduler& mainThread)
    : m_database(std::move(database))
    , m_defaults(defaults)
    , m_mainThread(mainThread)
    , m_anchor(std::make_shared<CloudKitTransport*>(this))
{
}

CloudKitTransport::~CloudKitTransport()
{
    // Answers and checks that still hold the anchor see that the transport is gone.
    *m_anchor = nullptr;
}

template<typename Handler>
auto CloudKitTransport::onMainThread(Handler handler)
{
    return [anchor = std::weak_ptr<CloudKitTransport*>(m_anchor), mainThread = &m_mainThread, handler](auto... arguments) {
        mainThread->post([anchor, handler, arguments...]() mutable {
            if (auto self = anchor.lock(); self && *self)
                ((*self)->*handler)(std::move(arguments)...);
        });
    };
}

void CloudKitTransport::start()
{
    m_running = true;
    requestAccountStatus();
    m_timer = m_mainThread.repeating(pollInterval, [anchor = std::weak_ptr<CloudKitTransport*>(m_anchor)] {
        if (auto self = anchor.lock(); self && *self && (*self)->m_running)
            (*self)->refresh();
    });
}

void CloudKitTransport::stop()
{
    m_running = false;
    m_timer.reset();
}

void CloudKitTransport::refresh()
{
    if (m_accountAvailable == true)
        fetch();
    else
        requestAccountStatus();
}

void CloudKitTransport::requestAccountStatus()
{
    m_database->accountStatus(onMainThread(&CloudKitTransport::handleAccountStatus));
}

void CloudKitTransport::handleAccountStatus(CloudAccountStatus status, std::optional<CloudError> error)
{
    if (status == CloudAccountStatus::available) {
        m_accountAvailable = true;
        if (!report(TransportAvailability::available()))
            return;
        fetch();
        subscribe();
    } else {
        m_accountAvailable = false;
        switch (status) {
        case CloudAccountStatus::couldNotDetermine:
            report(TransportAvailability::unavailable("couldNotDetermine"));
            break;
        case CloudAccountStatus::restricted:
            report(TransportAvailability::unavailable("restricted"));
            break;
        case CloudAccountStatus::noAccount:
            report(TransportAvailability::unavailable("noAccount"));
            break;
        case CloudAccountStatus::temporarilyUnavailable:
            report(TransportAvailability::unavailable("temporarilyUnavailable"));
            break;
        default:
            report(TransportAvailability::unavailable("unknown"));
            break;
        }
    }
    if (error)
        Platform::Log::line("cloudkit: accountStatus: " + error->description);
}

void CloudKitTransport::fetch()
{
    m_database->fetch(std::string(recordName), onMainThread(&CloudKitTransport::handleFetch));
}

void CloudKitTransport::handleFetch(std::optional<CloudRecord> record, std::optional<CloudError> error)
{
    if (record) {
        if (auto reading = read(*record, PawletKit::Date::now())) {
            bool changed = !m_lastDelivered;
            if (m_lastDelivered) {
                auto candidate = reading->snapshot;
                // A time stamped at reading is new on every poll; only the content tells a change.
                if (reading->timeFromReading)
                    candidate.updatedAt = m_lastDelivered->updatedAt;
                changed = !(candidate == *m_lastDelivered);
            }
            if (changed) {
                m_lastDelivered = reading->snapshot;
                auto anchor = m_anchor;
                // A copy, so that the observer may drop the transport (and its callbacks) meanwhile.
                if (auto callback = onSnapshot)
                    callback(*m_lastDelivered);
                if (!*anchor)
                    return;
            }
            report(TransportAvailability::available());
            return;
        }
    }
    if (!error)
        return;
    if (!error->isCloud()) {
        Platform::Log::line("cloudkit: fetch: " + error->description);
        report(TransportAvailability::unavailable("error"));
        return;
    }
    switch (error->code) {
    case Platform::CloudErrorCode::networkUnavailable:
    case Platform::CloudErrorCode::networkFailure:
    case Platform::CloudErrorCode::serviceUnavailable:
    case Platform::CloudErrorCode::requestRateLimited:
    case Platform::CloudErrorCode::zoneBusy:
        report(TransportAvailability::unavailable("network"));
        break;
    case Platform::CloudErrorCode::notAuthenticated:
        m_accountAvailable = false;
        report(TransportAvailability::unavailable("notAuthenticated"));
        break;
    case Platform::CloudErrorCode::unknownItem:
        report(TransportAvailability::available());
        break;
    default:
        Platform::Log::line("cloudkit: fetch: " + error->description);
        report(TransportAvailability::unavailable("error"));
        break;
    }
}

void CloudKitTransport::subscribe()
{
    if (m_defaults.boolean(subscriptionFlagKey).value_or(false))
        return;
    Platform::CloudSubscription subscription { std::string(subscriptionID), std::string(recordType) };
    m_database->saveSubscription(std::move(subscription), onMainThread(&CloudKitTransport::handleSubscription));
}

void CloudKitTransport::handleSubscription(std::optional<CloudError> error)
{
    // The server rejects a subscription that exists already; that answer proves it exists.
    if (!error || error->isCloud(Platform::CloudErrorCode::serverRejectedRequest))
        m_defaults.set(subscriptionFlagKey, true);
    if (error)
        Platform::Log::line("cloudkit: subscription: " + error->description);
}

bool CloudKitTransport::report(TransportAvailability availability)
{
    auto anchor = m_anchor;
    if (auto callback = onAvailability)
        callback(availability);
    return *anchor != nullptr;
}

std::optional<PetSnapshot::Reading> CloudKitTransport::read(CloudRecord const& record, PawletKit::Date readTime)
{
    auto json = record.field(jsonField);
    auto bytes = json ? json->asBytes() : std::nullopt;
    if (!bytes)
        return std::nullopt;
    try {
        auto reading = PetSnapshot::read(*bytes, readTime);
        auto field = record.field(updatedAtField);
        auto date = field ? field->asDate() : std::nullopt;
        // A date that is not finite would make the snapshot unequal to itself, delivered at every poll.
        if (date && std::isfinite(date->secondsSince1970)) {
            reading.snapshot.updatedAt = *date;
            reading.timeFromReading = false;
        }
        return reading;
    } catch (PetSnapshot::DecodingError const&) {
        return std::nullopt;
    }
}

std::optional<PetSnapshot> CloudKitTransport::snapshot(CloudRecord const& record)
{
    auto reading = read(record, PawletKit::Date::now());
    if (!reading)
        return std::nullopt;
    return std::move(reading->snapshot);
}

CloudRecord CloudKitTransport::record(PetSnapshot const& snapshot)
{
    CloudRecord record;
    record.recordType = recordType;
    record.recordName = recordName;
    record.setField(jsonField, CloudValue::bytes(snapshot.encoded()));
    record.setField(updatedAtField, CloudValue::date(snapshot.updatedAt));
    return record;
}

}
