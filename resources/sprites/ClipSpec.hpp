#pragma once

#include <array>
#include <string_view>

namespace SpriteArt {

// One animation clip as the sprite directory publishes it: its folder name, how many frames loop,
// their rate, the rounded period the manifest carries, and how fast the application moves the pet
// while it plays (points per second), which the gaits' feet have to match.
struct ClipSpec {
    std::string_view name;
    int frames;
    double fps;
    double period;
    double speed;

    // Seconds of one pass through the loop, unrounded.
    double duration() const { return frames / fps; }
    // Ground speed in frame pixels per second.
    double groundSpeed() const;
    // Phase of a frame: 0 for the first, never reaching 1, so the last frame leads into the first.
    double phase(int frame) const { return double(frame) / frames; }
};

// The frame box of the manifest (points) and the scale of the frame files.
inline constexpr double boxWidth = 135;
inline constexpr double boxHeight = 100;
inline constexpr int frameScale = 2;
inline constexpr int frameWidth = int(boxWidth) * frameScale;
inline constexpr int frameHeight = int(boxHeight) * frameScale;
// The application's default pet height: the size at which the feet are made to hold the ground.
inline constexpr double referenceHeightPoints = 96;
// Where the paws meet the ground, in frame pixels from the top; the same in every clip.
inline constexpr double groundY = 188;

inline constexpr std::array<ClipSpec, 8> allClips { {
    { "run", 10, 24, 0.42, 140 },
    { "walk", 18, 24, 0.75, 45 },
    { "stroll", 31, 24, 1.3, 18 },
    { "idle", 58, 24, 2.4, 0 },
    { "hungry", 48, 24, 2.0, 0 },
    { "happy", 12, 24, 0.5, 0 },
    { "poop", 62, 24, 2.6, 0 },
    { "sick", 36, 12, 3.0, 0 },
} };

inline constexpr std::array<std::string_view, 4> allSkins { "soft", "pixel", "ink", "geo" };

ClipSpec const& clipNamed(std::string_view name);

}
