#pragma once

namespace SpriteArt {

// Where the collar lies across the neck, in frame pixels.
struct CollarBand {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;
    double angle = 0;
};

}
