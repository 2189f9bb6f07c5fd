#include "shared/ActivityContentFields.hpp"

#include "shared/Clip.hpp"
#include "shared/DiscreetText.hpp"

namespace PawletShared {

namespace {

// The clip rule without the rate: a sleeping pet shows the idle clip.
std::string clipName(PetSnapshot const& snapshot)
{
    switch (snapshot.mood) {
    case Mood::poop:
        return "poop";
    case Mood::happy:
        return "happy";
    case Mood::hungry:
        return "hungry";
    case Mood::normal:
        break;
    }
    return std::string(rawValue(clipForGait(snapshot.gait)));
}

}

ActivityContentFields ActivityContentFields::make(PetSnapshot const& snapshot, Skin skin, bool hidden, Localizer const& localizer)
{
    ActivityContentFields fields;
    fields.clip = clipName(snapshot);
    fields.skin = std::string(rawValue(skin));
    fields.statusLine = DiscreetText::statusLine(snapshot, hidden, localizer);
    fields.statusWord = DiscreetText::statusWord(snapshot, hidden, localizer);
    fields.dots = DiscreetText::dots(snapshot, hidden);
    fields.needsYou = DiscreetText::needsYou(snapshot, hidden);
    if (fields.needsYou)
        fields.needsYouLabel = localizer.string("needs.you");
    fields.quotaFraction = DiscreetText::quotaFraction(snapshot, hidden);
    fields.bars = DiscreetText::bars(snapshot, hidden, localizer);
    fields.activeSources = snapshot.orderedSources();
    return fields;
}

std::optional<CollarStyle> ActivityContentFields::collarStyle() const { return CollarStyle::fromSources(activeSources); }

std::vector<std::string> ActivityContentFields::allTexts() const
{
    std::vector<std::string> texts;
    for (auto const* text : { &statusLine, &statusWord, &needsYouLabel })
        if (*text)
            texts.push_back(**text);
    for (auto const& bar : bars)
        if (bar.label)
            texts.push_back(*bar.label);
    return texts;
}

}
