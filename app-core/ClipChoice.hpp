#pragma once

#include "app-core/Clip.hpp"

namespace PupnikCore {

// A clip and the factor applied to its frame rate.
struct ClipChoice {
    Clip clip { Clip::idle };
    double rate { 1.0 };

    bool operator==(ClipChoice const&) const = default;
};

}
