#pragma once

#include "PawletKit/Date.hpp"
#include "shared/ClipChoice.hpp"
#include "shared/Drawing/ClipFrames.hpp"
#include "shared/Drawing/SpriteLibrary.hpp"
#include "shared/RoamBounds.hpp"
#include "shared/Roamer.hpp"
#include "shared/Skin.hpp"
#include "shared/SpriteManifest.hpp"

#include <cstdint>
#include <optional>

namespace PawletShared {

// What a stage keeps between two drawn frames: where the pet is and which way it faces, when the
// previous frame was drawn, and the frames of the clip it plays. Driven by dates, not counters, so
// a skipped display frame does not slow the pet down.
class StageModel final {
public:
    struct Loaded {
        Skin skin { Skin::soft };
        Clip clip { Clip::idle };
        bool operator==(Loaded const&) const = default;
    };

    // Walking speeds are given for a pet this wide.
    static constexpr double referenceWidth = 162;
    // After a long pause the pet moves at most this much time's way.
    static constexpr double maxStep = 0.5;

    Roamer roamer { 0, 0, 1 };
    std::optional<PawletKit::Date> lastTick;
    std::optional<PawletKit::Date> clipStart;
    std::optional<Loaded> current;
    std::optional<ClipFrames> frames;

    // One step of the timeline at now: loads the clip's frames when skin or clip changed, fits the
    // pet to its drawn width, walks it within range unless a frame is frozen, and returns the index
    // of the frame to show.
    int64_t step(PawletKit::Date now, ClipChoice choice, Skin skin, SpriteLibrary& library, double width, RoamBounds range,
        std::optional<int64_t> freezeFrame);

    // The pet's width when drawn dogHeight tall, from the frame box.
    static double drawnWidth(SpriteManifest const& manifest, double dogHeight);
    // The frame of count frames to show elapsed seconds into the clip; a frozen frame counts from
    // the end when negative. Always within 0...count-1 (0 for an empty clip), whatever the inputs.
    static int64_t frameIndex(int64_t count, double fps, double rate, double elapsed, std::optional<int64_t> freezeFrame);
};

}
