// Any hook input that parses as an object comes out of the sanitiser within its bounds.
#include "PawletKit/JSON.hpp"
#include "PawletKit/SpoolEvent.hpp"
#include "PawletKit/SpoolSanitizer.hpp"
#include "PawletKit/Text.hpp"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace PawletKit;
using JSON::Value;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool isContentKey(std::string const& key)
{
    return SpoolSanitizer::droppedKeys().contains(key) || key.ends_with("transcript_path");
}

void checkValue(Value const& value, int depth)
{
    require(!value.is_array() && !value.is_binary() && !value.is_discarded());
    if (value.is_string())
        require(Text::characterCount(value.get_ref<std::string const&>()) <= SpoolSanitizer::maxStringCharacters);
    if (value.is_number_float())
        require(std::isfinite(value.get<double>()));
    if (value.is_object()) {
        require(depth < SpoolSanitizer::maxDepth);
        for (auto it = value.begin(); it != value.end(); ++it) {
            require(!isContentKey(it.key()) && it.key() != "error");
            checkValue(*it, depth + 1);
        }
    }
}

void checkProc(Value const& proc)
{
    require(proc.is_object() && !proc.empty());
    for (auto it = proc.begin(); it != proc.end(); ++it) {
        if (it.key() == "pids") {
            require(it->is_array() && it->size() <= SpoolSanitizer::maxProcEntries);
            for (auto const& pid : *it)
                require(pid.is_number_integer() && pid.get<int64_t>() >= 1 && pid.get<int64_t>() <= 2147483647);
        } else if (it.key() == "names") {
            require(it->is_array() && it->size() <= SpoolSanitizer::maxProcEntries);
            for (auto const& name : *it)
                require(name.is_string() && Text::characterCount(name.get_ref<std::string const&>()) <= SpoolSanitizer::maxProcNameCharacters);
        } else {
            require(it.key() == "tty");
            require(it->is_null() || (it->is_string() && Text::characterCount(it->get_ref<std::string const&>()) <= SpoolSanitizer::maxProcTTYCharacters));
        }
    }
}

void checkSanitized(Value const& clean, std::string_view event)
{
    require(clean.is_object());
    for (auto it = clean.begin(); it != clean.end(); ++it) {
        if (it.key() == "error") {
            require(SpoolSanitizer::errorEvents().contains(event) && it->is_string());
            require(Text::characterCount(it->get_ref<std::string const&>()) <= SpoolSanitizer::maxErrorCharacters);
        } else if (it.key() == "proc") {
            checkProc(*it);
        } else {
            require(SpoolSanitizer::allowedKeys().contains(it.key()));
            checkValue(*it, 1);
        }
    }
    require(JSON::serialize(clean).has_value());
    // What has been sanitised once passes unchanged.
    require(SpoolSanitizer::sanitize(clean, event) == clean);
}

}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<char const*>(data), size);
    Value input;
    try {
        input = JSON::parse(bytes);
    } catch (Value::exception const&) {
        return 0;
    }
    if (!input.is_object())
        return 0;

    for (std::string_view event : { "StopFailure", "PreToolUse" }) {
        checkSanitized(SpoolSanitizer::sanitize(input, event), event);
        std::string line = SpoolEvent::make(std::string(event), std::nullopt, &input, 1700000000.5).jsonLine();
        require(line.back() == '\n' && line.find('\n') == line.size() - 1 && line.size() <= SpoolEvent::maxLineBytes);
        auto written = SpoolEvent::fromJSON(JSON::parse(line));
        require(written.has_value());
        checkSanitized(written->data, event);
    }
    return 0;
}
