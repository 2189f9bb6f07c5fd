#include "platform/ClockText.hpp"

namespace Platform::ClockText {

namespace {

std::string twoDigits(int value)
{
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

std::string clock(CivilTime const& time) { return twoDigits(time.hour) + ":" + twoDigits(time.minute); }

}

std::string hoursMinutes(double secondsSince1970, TimeZone const& zone)
{
    auto time = zone.civilTime(secondsSince1970);
    return time ? clock(*time) : "--:--";
}

std::string monthDayHoursMinutes(double secondsSince1970, TimeZone const& zone)
{
    auto time = zone.civilTime(secondsSince1970);
    return time ? std::to_string(time->month) + "/" + std::to_string(time->day) + " " + clock(*time) : "-/- --:--";
}

}
