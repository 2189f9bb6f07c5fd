#include "shared/PetSnapshot.hpp"

#include "PawletKit/JSON.hpp"
#include "PawletKit/Text.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace PawletShared {

namespace {

using nlohmann::json;
using EncodingError = PetSnapshot::EncodingError;
using DecodingError = PetSnapshot::DecodingError;

// The instants whose whole-second text has four year digits: 0000-01-01 up to the end of 9999.
constexpr double earliestWritableInstant = -62167219200.0;
constexpr double endOfWritableInstants = 253402300800.0;
// 0001-01-01T00:00:00Z.
constexpr double distantPast = -62135596800.0;

// Encoding

double finiteNumber(double value, std::string const& path)
{
    if (!std::isfinite(value))
        throw EncodingError(path + " is not a finite number");
    return value;
}

std::string instantText(PawletKit::Date date, std::string const& path)
{
    double seconds = date.secondsSince1970;
    if (!(seconds >= earliestWritableInstant && seconds < endOfWritableInstants))
        throw EncodingError(path + " is not an instant between the years 0000 and 9999");
    return date.iso8601();
}

void putNumber(json& object, char const* key, std::optional<double> value, std::string const& path)
{
    if (value)
        object[key] = finiteNumber(*value, path + "." + key);
}

void putInstant(json& object, char const* key, std::optional<PawletKit::Date> value, std::string const& path)
{
    if (value)
        object[key] = instantText(*value, path + "." + key);
}

json encodeQuota(QuotaInfo const& quota)
{
    json resets = json::object();
    putInstant(resets, "fiveHour", quota.resets.fiveHour, "quota.resets");
    putInstant(resets, "sevenDay", quota.resets.sevenDay, "quota.resets");
    json object { { "resets", std::move(resets) } };
    putNumber(object, "fiveHour", quota.fiveHour, "quota");
    putNumber(object, "sevenDay", quota.sevenDay, "quota");
    return object;
}

json encodeWindow(QuotaWindow const& window, std::string const& path)
{
    json object = json::object();
    putNumber(object, "fiveHour", window.fiveHour, path);
    putNumber(object, "sevenDay", window.sevenDay, path);
    putInstant(object, "resetsAt", window.resetsAt, path);
    return object;
}

// Decoding

json const* present(json const& object, char const* key)
{
    auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return nullptr;
    return &*found;
}

[[noreturn]] void wrongType(std::string const& path, char const* expected)
{
    throw DecodingError(path + " is not " + expected);
}

json const* optionalObject(json const& object, char const* key, std::string const& path)
{
    auto value = present(object, key);
    if (value && !value->is_object())
        wrongType(path + key, "an object");
    return value;
}

std::optional<std::string> optionalString(json const& object, char const* key, std::string const& path)
{
    auto value = present(object, key);
    if (!value)
        return std::nullopt;
    if (!value->is_string())
        wrongType(path + key, "a string");
    return value->get<std::string>();
}

double number(json const& value, std::string const& path)
{
    if (!value.is_number())
        wrongType(path, "a number");
    // Text such as 1e999 parses as infinity, which no writer can have meant.
    double real = value.get<double>();
    if (!std::isfinite(real))
        wrongType(path, "a finite number");
    return real;
}

std::optional<double> optionalNumber(json const& object, char const* key, std::string const& path)
{
    auto value = present(object, key);
    if (!value)
        return std::nullopt;
    return number(*value, path + key);
}

int64_t count(json const& value, std::string const& path)
{
    if (value.is_number_unsigned()) {
        if (value.get<uint64_t>() > uint64_t(std::numeric_limits<int64_t>::max()))
            wrongType(path, "a 64-bit integer");
        return int64_t(value.get<uint64_t>());
    }
    if (value.is_number_integer())
        return value.get<int64_t>();
    if (value.is_number_float()) {
        // A whole number written with a fraction or exponent ("2.0", "2e3") is still a count.
        double real = value.get<double>();
        if (std::trunc(real) == real && real >= -9223372036854775808.0 && real < 9223372036854775808.0)
            return int64_t(real);
    }
    wrongType(path, "a 64-bit integer");
}

PawletKit::Date instant(json const& value, std::string const& path)
{
    if (!value.is_string())
        wrongType(path, "a date string");
    auto date = PawletKit::Date::parseRFC3339(value.get_ref<std::string const&>());
    if (!date)
        wrongType(path, "an ISO 8601 date");
    return *date;
}

std::optional<PawletKit::Date> optionalInstant(json const& object, char const* key, std::string const& path)
{
    auto value = present(object, key);
    if (!value)
        return std::nullopt;
    return instant(*value, path + key);
}

QuotaInfo decodeQuota(json const& object)
{
    QuotaInfo quota;
    quota.fiveHour = optionalNumber(object, "fiveHour", "quota.");
    quota.sevenDay = optionalNumber(object, "sevenDay", "quota.");
    if (auto resets = optionalObject(object, "resets", "quota.")) {
        quota.resets.fiveHour = optionalInstant(*resets, "fiveHour", "quota.resets.");
        quota.resets.sevenDay = optionalInstant(*resets, "sevenDay", "quota.resets.");
    }
    return quota;
}

QuotaWindow decodeWindow(json const& value, std::string const& path)
{
    if (!value.is_object())
        wrongType(path, "an object");
    QuotaWindow window;
    window.fiveHour = optionalNumber(value, "fiveHour", path + ".");
    window.sevenDay = optionalNumber(value, "sevenDay", path + ".");
    window.resetsAt = optionalInstant(value, "resetsAt", path + ".");
    return window;
}

std::string trimmedOfBlanks(std::string const& text)
{
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

}

std::string PetSnapshot::encoded() const
{
    json counts = json::object();
    for (auto const& [source, value] : sourceCounts)
        counts[source] = value;
    json object {
        { "gait", rawValue(gait) },
        { "mood", rawValue(mood) },
        { "intensity", finiteNumber(intensity, "intensity") },
        { "quota", encodeQuota(quota) },
        { "sourceCounts", std::move(counts) },
        { "updatedAt", instantText(updatedAt, "updatedAt") },
    };
    if (activeSources)
        object["activeSources"] = *activeSources;
    if (quotaBySource) {
        json windows = json::object();
        for (auto const& [source, window] : *quotaBySource)
            windows[source] = encodeWindow(window, "quotaBySource." + source);
        object["quotaBySource"] = std::move(windows);
    }
    std::string text;
    try {
        text = object.dump(-1, ' ', false, json::error_handler_t::strict);
    } catch (json::exception const&) {
        throw EncodingError("a string is not valid UTF-8");
    }
    // A slash only ever stands inside a string in JSON text, so every one gets its escape.
    std::string escaped;
    escaped.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '/')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

PetSnapshot::Reading PetSnapshot::read(std::string_view bytes, PawletKit::Date readTime)
{
    json root;
    try {
        root = PawletKit::JSON::parse(bytes);
    } catch (json::exception const& error) {
        throw DecodingError(std::string("not JSON: ") + error.what());
    }
    if (!root.is_object())
        throw DecodingError("a snapshot is a JSON object");

    PetSnapshot snapshot;
    snapshot.gait = gaitFromRawValue(optionalString(root, "gait", "").value_or("idle")).value_or(Gait::idle);
    snapshot.mood = moodFromRawValue(optionalString(root, "mood", "").value_or("normal")).value_or(Mood::normal);
    snapshot.intensity = optionalNumber(root, "intensity", "").value_or(0);
    if (auto quota = optionalObject(root, "quota", ""))
        snapshot.quota = decodeQuota(*quota);
    if (auto counts = optionalObject(root, "sourceCounts", "")) {
        for (auto const& [source, value] : counts->items())
            snapshot.sourceCounts.emplace(source, count(value, "sourceCounts." + source));
    }
    auto updatedAt = optionalInstant(root, "updatedAt", "");
    snapshot.updatedAt = updatedAt.value_or(readTime);
    if (auto sources = present(root, "activeSources")) {
        if (!sources->is_array())
            wrongType("activeSources", "an array");
        std::vector<std::string> names;
        names.reserve(sources->size());
        for (auto const& name : *sources) {
            if (!name.is_string())
                wrongType("activeSources[]", "a string");
            names.push_back(name.get<std::string>());
        }
        snapshot.activeSources = std::move(names);
    }
    if (auto windows = optionalObject(root, "quotaBySource", "")) {
        std::map<std::string, QuotaWindow> bySource;
        for (auto const& [source, value] : windows->items())
            bySource.emplace(source, decodeWindow(value, "quotaBySource." + source));
        snapshot.quotaBySource = std::move(bySource);
    }
    return Reading { std::move(snapshot), !updatedAt };
}

PetSnapshot PetSnapshot::decode(std::string_view bytes)
{
    return read(bytes, PawletKit::Date::now()).snapshot;
}

PetSnapshot const& PetSnapshot::placeholder()
{
    static PetSnapshot const snapshot = [] {
        PetSnapshot placeholder;
        placeholder.updatedAt = PawletKit::Date::fromSeconds(distantPast);
        return placeholder;
    }();
    return snapshot;
}

std::vector<std::string> PetSnapshot::orderedSources() const
{
    std::vector<std::string> names;
    if (activeSources) {
        names = *activeSources;
    } else {
        for (auto const& [source, value] : sourceCounts)
            if (value >= 1)
                names.push_back(source);
    }
    std::vector<std::string> unique;
    for (auto const& name : names) {
        auto cleaned = PawletKit::Text::lowercased(trimmedOfBlanks(name));
        if (!cleaned.empty() && std::find(unique.begin(), unique.end(), cleaned) == unique.end())
            unique.push_back(std::move(cleaned));
    }
    std::vector<std::string> ordered;
    for (std::string_view known : { "claude", "codex", "process" })
        if (std::find(unique.begin(), unique.end(), known) != unique.end())
            ordered.emplace_back(known);
    std::vector<std::string> others;
    for (auto& name : unique)
        if (name != "claude" && name != "codex" && name != "process")
            others.push_back(std::move(name));
    std::sort(others.begin(), others.end());
    ordered.insert(ordered.end(), others.begin(), others.end());
    return ordered;
}

int64_t PetSnapshot::totalCount() const
{
    int64_t total = 0;
    for (auto const& [source, value] : sourceCounts) {
        (void)source;
        if (__builtin_add_overflow(total, value, &total))
            total = value > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    }
    return total;
}

std::optional<QuotaWindow> PetSnapshot::quotaWindow(std::string_view source) const
{
    if (!quotaBySource)
        return std::nullopt;
    auto found = quotaBySource->find(std::string(source));
    if (found == quotaBySource->end() || found->second.isEmpty())
        return std::nullopt;
    return found->second;
}

}
