#include "app-core/PublishThrottle.hpp"

#include <cmath>
#include <limits>

namespace PupnikCore {

std::optional<int64_t> PublishThrottle::bucket(std::optional<double> percentage)
{
    if (!percentage || !std::isfinite(*percentage))
        return std::nullopt;
    // Clamped before the conversion: a quotient outside the 64-bit range has no integer value.
    constexpr int64_t step = int64_t(bucketSize);
    constexpr double largestSteps = double(std::numeric_limits<int64_t>::max() / step);
    double steps = std::round(*percentage / bucketSize);
    if (steps >= largestSteps)
        return std::numeric_limits<int64_t>::max() / step * step;
    if (steps <= -largestSteps)
        return std::numeric_limits<int64_t>::min() / step * step;
    return int64_t(steps) * step;
}

PublishThrottle::Key PublishThrottle::key(PawletShared::PetSnapshot const& snapshot)
{
    Key key {
        std::string(PawletShared::rawValue(snapshot.gait)),
        std::string(PawletShared::rawValue(snapshot.mood)),
        bucket(snapshot.quota.fiveHour),
        bucket(snapshot.quota.sevenDay),
        {},
    };
    for (auto const& [source, count] : snapshot.sourceCounts)
        if (count >= 1)
            key.sourceCounts.emplace(source, count);
    return key;
}

std::optional<PublishThrottle::Reason> PublishThrottle::decide(PawletShared::PetSnapshot const& snapshot, PawletKit::Date now) const
{
    if (!m_lastPublished)
        return Reason::first;
    double elapsed = now - *m_lastPublished;
    if (elapsed < 0 || elapsed >= heartbeatInterval)
        return Reason::heartbeat;
    if (m_lastKey && key(snapshot) == *m_lastKey)
        return std::nullopt;
    if (elapsed >= minInterval)
        return Reason::changed;
    return std::nullopt;
}

void PublishThrottle::markPublished(PawletShared::PetSnapshot const& snapshot, PawletKit::Date now)
{
    m_lastKey = key(snapshot);
    m_lastPublished = now;
}

std::optional<PublishThrottle::Reason> PublishThrottle::consider(PawletShared::PetSnapshot const& snapshot, PawletKit::Date now)
{
    auto reason = decide(snapshot, now);
    if (reason)
        markPublished(snapshot, now);
    return reason;
}

std::string_view rawValue(PublishThrottle::Reason reason)
{
    switch (reason) {
    case PublishThrottle::Reason::first:
        return "first";
    case PublishThrottle::Reason::changed:
        return "changed";
    case PublishThrottle::Reason::heartbeat:
        return "heartbeat";
    }
    return "first";
}

}
