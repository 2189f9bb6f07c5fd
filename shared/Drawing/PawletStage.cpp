#include "shared/Drawing/PawletStage.hpp"

#include "shared/ClipSelector.hpp"
#include "shared/Drawing/CollarRenderer.hpp"
#include "shared/LaunchOptions.hpp"

namespace PawletShared {

PawletStage::PawletStage(PetSnapshot snapshot, Skin skin, std::shared_ptr<SpriteLibrary> library, double dogHeight, double baseline, double inset,
    std::optional<double> tick, std::shared_ptr<StageModel> model)
    : m_snapshot(std::move(snapshot))
    , m_skin(skin)
    , m_library(std::move(library))
    , m_dogHeight(dogHeight)
    , m_baseline(baseline)
    , m_inset(inset)
    , m_tick(tick)
    , m_collarStyle(CollarStyle::fromSnapshot(m_snapshot))
    , m_model(model ? std::move(model) : std::make_shared<StageModel>())
{
}

std::optional<int64_t> PawletStage::defaultFreezeFrame() { return LaunchOptions::freezeFrame(); }

double PawletStage::drawnWidth() const { return m_library ? StageModel::drawnWidth(m_library->manifest(), m_dogHeight) : m_dogHeight * 1.35; }

std::string PawletStage::accessibleName(Localizer const& localizer) const { return localizer.string("app.name"); }

void PawletStage::render(QPainter& painter, QSizeF size, PawletKit::Date now, std::optional<int64_t> freezeFrame)
{
    if (!m_library)
        return;
    ClipChoice choice = ClipSelector::choice(m_snapshot);
    double w = drawnWidth();
    RoamBounds range { m_inset, size.width() - m_inset };
    Skin skin = m_library->resolvedSkin(m_skin);
    int64_t index = m_model->step(now, choice, skin, *m_library, w, range, freezeFrame);

    auto const& images = m_model->frames->images;
    QPointF centre(m_model->roamer.x + w * 0.5, size.height() * m_baseline - m_dogHeight * 0.5);

    painter.save();
    painter.translate(centre);
    // The sprites face right; mirrored, the collar goes along, its anchors those of the plain frame.
    if (m_model->roamer.facing < 0)
        painter.scale(-1, 1);
    painter.translate(-w * 0.5, -m_dogHeight * 0.5);
    if (!images.empty()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(0, 0, w, m_dogHeight), images[size_t(index)]);

        auto const& anchors = m_library->collarAnchors();
        if (m_collarStyle && anchors) {
            if (auto anchor = anchors->anchor(skin, choice.clip, index)) {
                double scale = anchors->pixelSize.h > 0 ? m_dogHeight / anchors->pixelSize.h : 0;
                CollarRenderer::draw(painter, *anchor, *m_collarStyle, anchors->tag, scale, CollarRenderer::Outline::inside);
            }
        }
    }
    painter.restore();
}

}
