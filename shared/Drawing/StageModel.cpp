#include "shared/Drawing/StageModel.hpp"

#include <algorithm>
#include <cmath>

namespace PawletShared {

double StageModel::drawnWidth(SpriteManifest const& manifest, double dogHeight) { return dogHeight * manifest.aspect(); }

int64_t StageModel::frameIndex(int64_t count, double fps, double rate, double elapsed, std::optional<int64_t> freezeFrame)
{
    if (count <= 0)
        return 0;
    if (freezeFrame)
        return ((*freezeFrame % count) + count) % count;
    if (!std::isfinite(elapsed) || !(fps > 0) || !std::isfinite(fps) || !std::isfinite(rate) || !(rate > 0))
        return 0;
    double frames = rate * (std::max(elapsed, 0.0) * fps);
    // A product beyond the finite numbers has no frame; converting its remainder (not a number)
    // to an integer would be undefined.
    if (!std::isfinite(frames))
        return 0;
    double position = std::floor(std::fmod(frames, double(count)));
    if (!(position >= 0))
        return 0;
    return std::min(count - 1, int64_t(position));
}

int64_t StageModel::step(PawletKit::Date now, ClipChoice choice, Skin skin, SpriteLibrary& library, double width, RoamBounds range,
    std::optional<int64_t> freezeFrame)
{
    Loaded wanted { skin, choice.clip };
    if (!current || *current != wanted || !frames) {
        frames = library.frames(skin, choice.clip);
        current = wanted;
        clipStart = now;
    }

    if (roamer.width != width) {
        if (roamer.width != 0) {
            roamer.setWidth(width);
        } else {
            roamer.x = (range.minX + range.maxX - width) * 0.5;
            roamer.width = width;
            roamer.facing = 1;
        }
    }

    double dt = lastTick ? now - *lastTick : 0;
    lastTick = now;

    if (!freezeFrame) {
        double speed = choice.rate * (width / referenceWidth) * PawletShared::speed(choice.clip);
        roamer.step(std::min(dt, maxStep), speed, range);
    }

    int64_t count = int64_t(frames->images.size());
    double elapsed = now - clipStart.value_or(now);
    return frameIndex(count, frames->fps, choice.rate, elapsed, freezeFrame);
}

}
