#pragma once

#include "shared/Clip.hpp"
#include "shared/Skin.hpp"

#include <QImage>
#include <vector>

namespace PawletShared {

// The decoded frames of one clip, in frame order; frames that were missing or undecodable are left
// out, so the list may be shorter than the manifest says, or empty.
struct ClipFrames {
    // The skin whose files were read, after falling back to one the directory has.
    Skin skin { Skin::soft };
    Clip clip { Clip::idle };
    std::vector<QImage> images;
    double fps { 0 };
};

}
