#pragma once

#include "PawletKit/Date.hpp"
#include "shared/PetSnapshot.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace PupnikCore {

// Decides whether a snapshot is worth publishing now: the first one always, a visible change (gait,
// mood, quota in 5-point steps, which sources have sessions) once 2 s have passed since the last
// publish, and anything once 60 s have passed.
class PublishThrottle final {
public:
    static constexpr double minInterval = 2.0;
    static constexpr double heartbeatInterval = 60.0;
    static constexpr double bucketSize = 5.0;

    // What counts as a visible change.
    struct Key {
        std::string gait;
        std::string mood;
        std::optional<int64_t> fiveHourBucket;
        std::optional<int64_t> sevenDayBucket;
        // Only the sources with a count of 1 or more.
        std::map<std::string, int64_t> sourceCounts;

        bool operator==(Key const&) const = default;
    };

    enum class Reason {
        first,
        changed,
        heartbeat,
    };

    // The percentage to the nearest multiple of 5, halves away from zero; nothing for an absent or
    // non-finite value. Values beyond the 64-bit range stop at its last multiple of 5.
    static std::optional<int64_t> bucket(std::optional<double> percentage);
    static Key key(PawletShared::PetSnapshot const& snapshot);

    // Reads the throttle, changes nothing.
    std::optional<Reason> decide(PawletShared::PetSnapshot const& snapshot, PawletKit::Date now) const;
    void markPublished(PawletShared::PetSnapshot const& snapshot, PawletKit::Date now);
    // decide(), and markPublished() when a reason results.
    std::optional<Reason> consider(PawletShared::PetSnapshot const& snapshot, PawletKit::Date now);

    std::optional<Key> const& lastKey() const { return m_lastKey; }
    std::optional<PawletKit::Date> const& lastPublished() const { return m_lastPublished; }

    bool operator==(PublishThrottle const&) const = default;

private:
    std::optional<Key> m_lastKey;
    std::optional<PawletKit::Date> m_lastPublished;
};

std::string_view rawValue(PublishThrottle::Reason reason);

}
