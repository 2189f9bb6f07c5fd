#pragma once

#include "PawletKit/JSON.hpp"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace PawletKit {

// One line of events.jsonl: the contract between the agent tool that writes it and the application
// that reads it.
struct SpoolEvent {
    static constexpr int64_t currentVersion = 1;
    static constexpr std::string_view statuslineEvent = "statusline";
    static constexpr std::string_view procKey = "proc";
    static constexpr std::string_view approvalIdKey = "approvalId";
    static constexpr size_t maxLineBytes = 3900;
    static constexpr size_t maxSessionIdCharacters = 400;
    // Encoded sizes the name, the matcher and the session id are cut to, whole characters kept, when the
    // line would pass its limit even without data; together they leave the line well inside the limit.
    static constexpr size_t maxEncodedNameBytes = 256;
    static constexpr size_t maxEncodedSessionIdBytes = 2048;
    static constexpr std::string_view fallbackLine = R"({"v":1,"ts":0,"ev":"invalid","m":null,"sid":null,"data":{}})";

    int64_t v { currentVersion };
    double ts { 0 };
    std::string ev;
    std::optional<std::string> m;
    std::optional<std::string> sid;
    JSON::Value data = JSON::Value::object();

    SpoolEvent() = default;
    // Stores the fields unchanged: no sanitising, no cutting.
    SpoolEvent(int64_t v, double ts, std::string ev, std::optional<std::string> m, std::optional<std::string> sid, JSON::Value data);

    // The writer side: sanitises the hook input and takes the session id from it.
    static SpoolEvent make(std::string ev, std::optional<std::string> const& matcher, JSON::Value const* input, double ts);
    // One parsed line back to a record; nothing when it lacks a usable "ev" or "ts".
    static std::optional<SpoolEvent> fromJSON(JSON::Value const& json);

    // The encoded line, line feed included; never fails (see the fallbacks in the implementation). Below
    // maxLineBytes in all but the fallback line, so the reader can take a longer tail for a broken line.
    std::string jsonLine() const;

    bool isStatusline() const { return ev == statuslineEvent; }
    std::optional<std::string> notificationType() const;
    std::optional<std::string> toolName() const;
    std::optional<double> doubleAt(std::initializer_list<std::string_view> path) const;
    std::optional<std::string> stringAt(std::initializer_list<std::string_view> path) const;

    bool operator==(SpoolEvent const& other) const;
};

}
