#include "PawletKit/Date.hpp"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <sys/time.h>

namespace PawletKit {

Date Date::now()
{
    timespec spec {};
    clock_gettime(CLOCK_REALTIME, &spec);
    return Date { static_cast<double>(spec.tv_sec) + static_cast<double>(spec.tv_nsec) / 1e9 };
}

namespace {

bool digits(std::string_view text, size_t at, size_t count, int& value)
{
    if (at + count > text.size())
        return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

}

std::optional<Date> Date::parseRFC3339(std::string_view text)
{
    int year, month, day, hour, minute, second;
    if (!digits(text, 0, 4, year) || text.size() < 20 || text[4] != '-' || !digits(text, 5, 2, month) || text[7] != '-'
        || !digits(text, 8, 2, day) || (text[10] != 'T' && text[10] != 't') || !digits(text, 11, 2, hour) || text[13] != ':'
        || !digits(text, 14, 2, minute) || text[16] != ':' || !digits(text, 17, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    size_t at = 19;
    double fraction = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        double scale = 0.1;
        size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            fraction += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == start)
            return std::nullopt;
    }
    int offsetSeconds = 0;
    if (at < text.size() && (text[at] == 'Z' || text[at] == 'z')) {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int offsetHours, offsetMinutes;
        if (!digits(text, at + 1, 2, offsetHours) || at + 3 >= text.size() || text[at + 3] != ':'
            || !digits(text, at + 4, 2, offsetMinutes) || offsetHours > 23 || offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (offsetHours * 3600 + offsetMinutes * 60) * (text[at] == '-' ? -1 : 1);
        at += 6;
    } else {
        return std::nullopt;
    }
    if (at != text.size())
        return std::nullopt;
    std::tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    time_t seconds = timegm(&parts);
    return Date { static_cast<double>(seconds) - offsetSeconds + fraction };
}

std::string Date::iso8601(bool withFractionalSeconds) const
{
    double whole = std::floor(secondsSince1970);
    if (!std::isfinite(whole))
        whole = 0;
    time_t seconds = static_cast<time_t>(whole);
    std::tm parts {};
    gmtime_r(&seconds, &parts);
    char buffer[96];
    if (withFractionalSeconds) {
        int millis = static_cast<int>((secondsSince1970 - whole) * 1000);
        if (millis > 999)
            millis = 999;
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900, parts.tm_mon + 1,
            parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, millis);
    } else {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900, parts.tm_mon + 1,
            parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    }
    return buffer;
}

}
