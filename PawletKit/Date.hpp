#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace PawletKit {

// An instant, as seconds since 1970-01-01 UTC.
struct Date {
    double secondsSince1970 { 0 };

    static Date now();
    static Date fromSeconds(double seconds) { return Date { seconds }; }

    // RFC 3339 internet date-time: "2026-01-02T03:04:05Z", with or without fractional seconds,
    // zone "Z" or "+hh:mm"/"-hh:mm".
    static std::optional<Date> parseRFC3339(std::string_view text);
    // "2026-01-02T03:04:05Z", or with milliseconds "2026-01-02T03:04:05.123Z".
    std::string iso8601(bool withFractionalSeconds = false) const;

    Date operator+(double seconds) const { return Date { secondsSince1970 + seconds }; }
    double operator-(Date other) const { return secondsSince1970 - other.secondsSince1970; }
    auto operator<=>(Date const&) const = default;
};

}
