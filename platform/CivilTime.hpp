#pragma once

namespace Platform {

// A wall-clock reading in some time zone: what a calendar and a clock on the wall would show.
struct CivilTime {
    int year { 1970 };
    int month { 1 }; // 1...12
    int day { 1 }; // 1...31
    int hour { 0 };
    int minute { 0 };
    int second { 0 };
    bool operator==(CivilTime const&) const = default;
};

}
