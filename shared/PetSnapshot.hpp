#pragma once

#include "PawletKit/Date.hpp"
#include "shared/Gait.hpp"
#include "shared/Mood.hpp"
#include "shared/QuotaInfo.hpp"
#include "shared/QuotaWindow.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace PawletShared {

// The pet's state as published to companion displays, and its JSON form: compact, keys sorted,
// instants as whole-second UTC times with "Z", forward slashes escaped.
struct PetSnapshot {
    class EncodingError final : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };
    class DecodingError final : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    struct Reading;

    Gait gait { Gait::idle };
    Mood mood { Mood::normal };
    // Activity level; producers hold it within 0...1.
    double intensity { 0 };
    QuotaInfo quota;
    // Sessions per agent source ("claude", "codex", "process" or other names).
    std::map<std::string, int64_t> sourceCounts;
    PawletKit::Date updatedAt;
    std::optional<std::vector<std::string>> activeSources;
    std::optional<std::map<std::string, QuotaWindow>> quotaBySource;

    // Throws EncodingError when a number or instant cannot be written (not finite, out of the
    // years 0000 to 9999) or a string is not UTF-8.
    std::string encoded() const;
    // Missing or null keys take their defaults ("updatedAt" the current time), an unknown gait reads
    // as idle and an unknown mood as normal; any other wrong type fails the whole reading.
    // Throws DecodingError.
    static PetSnapshot decode(std::string_view bytes);
    static Reading read(std::string_view bytes, PawletKit::Date readTime);

    // Shown before any state exists: idle, normal, nothing known, dated 0001-01-01T00:00:00Z.
    static PetSnapshot const& placeholder();

    // activeSources when present (even empty), else the sources with a count of 1 or more; trimmed
    // of spaces and tabs, lower-cased, without empties and repeats; claude, codex, process first,
    // then the rest in ascending order.
    std::vector<std::string> orderedSources() const;
    // Every count added up, saturating instead of overflowing.
    int64_t totalCount() const;
    // The source's window by exact name, when it holds at least one percentage.
    std::optional<QuotaWindow> quotaWindow(std::string_view source) const;

    bool operator==(PetSnapshot const&) const = default;
};

// A decoded snapshot, and whether its time is the reading's own for want of "updatedAt".
struct PetSnapshot::Reading {
    PetSnapshot snapshot;
    bool timeFromReading;
};

}
