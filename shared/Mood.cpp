#include "shared/Mood.hpp"

namespace PawletShared {

std::string_view rawValue(Mood mood)
{
    switch (mood) {
    case Mood::normal:
        return "normal";
    case Mood::hungry:
        return "hungry";
    case Mood::happy:
        return "happy";
    case Mood::poop:
        return "poop";
    }
    return "normal";
}

std::optional<Mood> moodFromRawValue(std::string_view text)
{
    for (Mood mood : allMoods)
        if (rawValue(mood) == text)
            return mood;
    return std::nullopt;
}

}
