#pragma once

#include "PawletKit/Date.hpp"
#include "shared/CollarStyle.hpp"
#include "shared/Drawing/SpriteLibrary.hpp"
#include "shared/Drawing/StageModel.hpp"
#include "shared/Localizer.hpp"
#include "shared/PetSnapshot.hpp"
#include "shared/Skin.hpp"

#include <QPainter>
#include <QSizeF>
#include <memory>
#include <optional>
#include <string>

namespace PawletShared {

// The animated pet for a snapshot in whatever space its host gives it: it walks left and right at
// its clip's speed, turns at the edges, animates its frames and wears a collar in the colours of
// the active agents. The host calls render() once per display frame (at most every tick seconds
// when a tick is set); a new stage for a new snapshot passes on the model, so the pet keeps its
// place, direction and clip timing.
class PawletStage final {
public:
    PawletStage(PetSnapshot snapshot, Skin skin, std::shared_ptr<SpriteLibrary> library, double dogHeight, double baseline, double inset,
        std::optional<double> tick, std::shared_ptr<StageModel> model = nullptr);

    // One timeline step at now, then the pet drawn into a space of the given size; the frozen frame
    // (PUPNIK_FREEZE_FRAME by default) stops the walking.
    void render(QPainter& painter, QSizeF size, PawletKit::Date now, std::optional<int64_t> freezeFrame = defaultFreezeFrame());

    // What assistive technology calls the stage.
    std::string accessibleName(Localizer const& localizer) const;

    PetSnapshot const& snapshot() const { return m_snapshot; }
    std::optional<double> tick() const { return m_tick; }
    std::optional<CollarStyle> const& collarStyle() const { return m_collarStyle; }
    std::shared_ptr<StageModel> const& model() const { return m_model; }
    double drawnWidth() const;

    static std::optional<int64_t> defaultFreezeFrame();

private:
    PetSnapshot m_snapshot;
    Skin m_skin;
    std::shared_ptr<SpriteLibrary> m_library;
    double m_dogHeight;
    double m_baseline;
    double m_inset;
    std::optional<double> m_tick;
    std::optional<CollarStyle> m_collarStyle;
    std::shared_ptr<StageModel> m_model;
};

}
