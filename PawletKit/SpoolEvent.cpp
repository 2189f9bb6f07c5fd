#include "PawletKit/SpoolEvent.hpp"

#include "PawletKit/SpoolSanitizer.hpp"
#include "PawletKit/Text.hpp"

namespace PawletKit {

SpoolEvent::SpoolEvent(int64_t v, double ts, std::string ev, std::optional<std::string> m, std::optional<std::string> sid, JSON::Value data)
    : v(v)
    , ts(ts)
    , ev(std::move(ev))
    , m(std::move(m))
    , sid(std::move(sid))
    , data(std::move(data))
{
}

SpoolEvent SpoolEvent::make(std::string ev, std::optional<std::string> const& matcher, JSON::Value const* input, double ts)
{
    SpoolEvent event;
    event.ts = ts;
    // Command-line words may hold any bytes; the line must stay valid UTF-8.
    event.ev = Text::replacingInvalidUTF8(ev);
    if (matcher && !matcher->empty())
        event.m = Text::replacingInvalidUTF8(*matcher);
    if (input && input->is_object()) {
        event.data = SpoolSanitizer::sanitize(*input, event.ev);
        if (auto sessionId = JSON::toString(JSON::member(input, "session_id")))
            event.sid = Text::prefix(*sessionId, maxSessionIdCharacters);
    }
    return event;
}

std::optional<SpoolEvent> SpoolEvent::fromJSON(JSON::Value const& json)
{
    if (!json.is_object())
        return std::nullopt;
    auto const* name = JSON::member(&json, "ev");
    if (!name || !name->is_string() || name->get_ref<std::string const&>().empty())
        return std::nullopt;
    auto time = JSON::toDouble(JSON::member(&json, "ts"));
    if (!time)
        return std::nullopt;
    SpoolEvent event;
    event.ev = name->get<std::string>();
    event.ts = *time;
    event.v = JSON::toInt(JSON::member(&json, "v")).value_or(currentVersion);
    event.m = JSON::toString(JSON::member(&json, "m"));
    event.sid = JSON::toString(JSON::member(&json, "sid"));
    if (auto const* data = JSON::member(&json, "data"); data && data->is_object())
        event.data = *data;
    return event;
}

namespace {

std::optional<std::string> encode(SpoolEvent const& event, JSON::Value const& data)
{
    JSON::Value object = JSON::Value::object();
    object["v"] = event.v;
    object["ts"] = event.ts;
    object["ev"] = event.ev;
    object["m"] = event.m ? JSON::Value(*event.m) : JSON::Value(nullptr);
    object["sid"] = event.sid ? JSON::Value(*event.sid) : JSON::Value(nullptr);
    object["data"] = data;
    return JSON::serialize(object);
}

// What a byte of a string costs once written into the line (escapes included).
size_t encodedByteCost(unsigned char byte)
{
    switch (byte) {
    case '"':
    case '\\':
    case '\b':
    case '\f':
    case '\n':
    case '\r':
    case '\t':
        return 2;
    default:
        return byte < 0x20 ? 6 : 1;
    }
}

std::optional<std::string> cutToEncodedBytes(std::optional<std::string> const& text, size_t maxBytes)
{
    if (!text)
        return std::nullopt;
    std::string cut = Text::prefixWithinBytes(*text, maxBytes, encodedByteCost);
    // A single character longer than the whole allowance leaves nothing worth writing.
    if (cut.empty())
        return std::nullopt;
    return cut;
}

}

std::string SpoolEvent::jsonLine() const
{
    auto fits = [](std::optional<std::string> const& line) { return line && line->size() < maxLineBytes; };
    std::optional<std::string> line = encode(*this, data);
    if (!fits(line)) {
        JSON::Value const reduced = SpoolSanitizer::sanitize(data, ev);
        line = encode(*this, reduced);
        if (!fits(line))
            line = encode(*this, JSON::Value::object());
        if (line && !fits(line)) {
            // The name, matcher or session id alone is too long (a character of thousands of combining
            // marks, a huge word on the command line): cut them, so that no line the reader could take
            // for a broken one is ever written.
            SpoolEvent const cut(v, ts, cutToEncodedBytes(ev, maxEncodedNameBytes).value_or("invalid"),
                cutToEncodedBytes(m, maxEncodedNameBytes), cutToEncodedBytes(sid, maxEncodedSessionIdBytes), JSON::Value::object());
            line = encode(cut, reduced);
            if (!fits(line))
                line = encode(cut, JSON::Value::object());
        }
    }
    std::string result = line ? std::move(*line) : std::string(fallbackLine);
    result.push_back('\n');
    return result;
}

std::optional<std::string> SpoolEvent::notificationType() const
{
    if (m && !m->empty())
        return m;
    if (auto type = JSON::toString(JSON::member(&data, "notification_type")))
        return type;
    return JSON::toString(JSON::member(&data, "matcher"));
}

std::optional<std::string> SpoolEvent::toolName() const
{
    return JSON::toString(JSON::member(&data, "tool_name"));
}

std::optional<double> SpoolEvent::doubleAt(std::initializer_list<std::string_view> path) const
{
    return JSON::toDouble(JSON::lookup(&data, path));
}

std::optional<std::string> SpoolEvent::stringAt(std::initializer_list<std::string_view> path) const
{
    return JSON::toString(JSON::lookup(&data, path));
}

bool SpoolEvent::operator==(SpoolEvent const& other) const
{
    return v == other.v && ts == other.ts && ev == other.ev && m == other.m && sid == other.sid && JSON::isEqual(&data, &other.data);
}

}
