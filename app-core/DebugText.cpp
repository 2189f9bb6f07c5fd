#include "app-core/DebugText.hpp"

#include "PawletKit/SessionSource.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace PupnikCore::DebugText {

namespace {

std::string escapedCode(unsigned code)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "\\u{%X}", code);
    return buffer;
}

std::string escaping(std::string_view text, bool quote)
{
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        auto const byte = static_cast<unsigned char>(text[i]);
        switch (byte) {
        case '\n':
            result += "\\n";
            continue;
        case '\r':
            result += "\\r";
            continue;
        case '\t':
            result += "\\t";
            continue;
        case '\\':
            result += "\\\\";
            continue;
        case '"':
            result += quote ? "\\\"" : "\"";
            continue;
        default:
            break;
        }
        if (byte < 0x20 || byte == 0x7f) {
            result += escapedCode(byte);
        } else if (byte == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80
            && static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            // The C1 controls, U+0080 to U+009F, move terminals about as much as the C0 ones.
            result += escapedCode(static_cast<unsigned char>(text[i + 1]));
            ++i;
        } else {
            result.push_back(static_cast<char>(byte));
        }
    }
    return result;
}

template<typename T, typename Format>
std::string joined(std::vector<T> const& values, Format format)
{
    std::string result = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            result += ", ";
        result += format(values[i]);
    }
    return result + "]";
}

}

std::string escaped(std::string_view text) { return escaping(text, false); }

std::string inQuotes(std::string_view text) { return "\"" + escaping(text, true) + "\""; }

std::string boolean(bool value) { return value ? "true" : "false"; }

std::string list(std::vector<int32_t> const& numbers)
{
    return joined(numbers, [](int32_t value) { return std::to_string(value); });
}

std::string list(std::vector<std::string> const& texts)
{
    return joined(texts, [](std::string const& text) { return inQuotes(text); });
}

std::string dictionary(std::map<std::string, int> const& entries)
{
    if (entries.empty())
        return "[:]";
    std::string result = "[";
    bool first = true;
    for (auto const& [key, value] : entries) {
        if (!first)
            result += ", ";
        first = false;
        result += inQuotes(key) + ": " + std::to_string(value);
    }
    return result + "]";
}

std::string date(PawletKit::Date instant)
{
    double whole = std::floor(instant.secondsSince1970);
    // Beyond what the C library converts (and not a number): the epoch, as the date's own text does.
    if (!std::isfinite(whole) || std::abs(whole) > 253402300799.0)
        whole = 0;
    auto const seconds = static_cast<std::time_t>(whole);
    std::tm parts {};
    gmtime_r(&seconds, &parts);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d +0000", parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
        parts.tm_hour, parts.tm_min, parts.tm_sec);
    return buffer;
}

std::string twoDecimals(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

std::string number(double value)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
    char buffer[64];
    auto const end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    std::string text(buffer, end);
    if (text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

std::string syncStatus(SyncStatus const& status)
{
    switch (status.kind()) {
    case SyncStatus::Kind::ready:
        if (auto const& last = status.lastPublished())
            return "ready(lastPublished: Optional(" + date(*last) + "))";
        return "ready(lastPublished: nil)";
    case SyncStatus::Kind::error:
        return "error(" + inQuotes(status.message()) + ")";
    case SyncStatus::Kind::disabledNoEntitlement:
        return "disabledNoEntitlement";
    case SyncStatus::Kind::noAccount:
        return "noAccount";
    }
    return "noAccount";
}

std::string waitingFields(PawletKit::SessionTarget const& target, bool withFolder)
{
    std::string text = "sid=" + escaped(target.sid) + " source=" + std::string(PawletKit::rawValue(target.source)) + " pids="
        + list(target.pids) + " names=" + list(target.names) + " tty=" + (target.tty ? escaped(*target.tty) : "-");
    if (withFolder)
        text += " cwd=" + (target.cwd ? escaped(*target.cwd) : "-");
    return text + " since=" + date(target.since);
}

std::string windowList(std::optional<std::vector<Platform::ManagedWindow>> windows)
{
    if (!windows)
        return "windows: unavailable\n";
    // Docks, panels and the desktop are the desktop's own elements.
    std::erase_if(*windows, [](Platform::ManagedWindow const& window) { return !window.isNormal; });
    std::ranges::stable_sort(*windows, [](auto const& a, auto const& b) { return a.stackingOrder > b.stackingOrder; });
    std::string text;
    for (size_t i = 0; i < windows->size() && i < windowListLimit; ++i) {
        auto const& window = (*windows)[i];
        auto const owner = window.wmClass ? window.wmClass : window.wmInstance;
        text += "window: owner=" + (owner ? escaped(*owner) : "?") + " pid=" + std::to_string(window.pid) + " layer=0"
            + " name=" + escaped(window.title.value_or("")) + "\n";
    }
    return text;
}

}
