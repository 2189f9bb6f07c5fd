#include "DrawingTestSupport.hpp"
#include "shared/CollarPalette.hpp"
#include "shared/Drawing/StatusLineView.hpp"

#include <gtest/gtest.h>

using namespace PawletShared;
using namespace DrawingTestSupport;

namespace {

QFont testFont()
{
    QFont font("DejaVu Sans");
    font.setPixelSize(14);
    return font;
}

QImage drawn(StatusLineView const& view, std::string const& name, int space = 320)
{
    QImage image = transparentImage(400, 24);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        view.draw(painter, QRectF(0, 0, space, 24));
    }
    savePicture(image, name);
    return image;
}

// The colours met along the middle row, left to right, each run of one colour counted once.
std::vector<std::string> paletteRuns(QImage const& image)
{
    struct Named {
        char const* name;
        CollarColor color;
    } const palette[] = { { "claude", CollarPalette::claude }, { "codex", CollarPalette::codex }, { "process", CollarPalette::process } };
    std::vector<std::string> runs;
    char const* previous = nullptr;
    for (int x = 0; x < image.width(); ++x) {
        char const* found = nullptr;
        for (auto const& entry : palette)
            if (looksLike(image, x, 12, entry.color, 255, 2))
                found = entry.name;
        if (found && found != previous)
            runs.emplace_back(found);
        previous = found;
    }
    return runs;
}

Localizer const& english()
{
    static Localizer const localizer(Language::en, { { Language::en, { { "state.walk", "Walking" }, { "quota.sep", " · " } } } });
    return localizer;
}

}

TEST(StatusLineView, DotsInPaletteColoursInListOrder)
{
    StatusLineView view("Walking", { { "claude", 3 }, { "codex", 12 }, { "cursor", 1 }, { "Claude", 2 } }, "Walking · ●3 ●12 ●1 ●2", testFont(), Qt::black, 10);
    QImage image = drawn(view, "status-line-dots");
    EXPECT_EQ(paletteRuns(image), (std::vector<std::string> { "claude", "codex", "process", "process" }));
    EXPECT_EQ(view.accessibleName(), "Walking · ●3 ●12 ●1 ●2");

    StatusLineView bare("Walking", {}, "Walking", testFont(), Qt::black, 10);
    EXPECT_TRUE(paletteRuns(drawn(bare, "status-line-word")).empty());
    // The separator and the dots take room only when there are dots.
    EXPECT_GT(view.sizeHint().width(), bare.sizeHint().width() + 4 * (10 + 6 + 3));
    EXPECT_LT(bare.sizeHint().width(), 80);
}

TEST(StatusLineView, MadeFromFieldsOrSnapshot)
{
    ActivityContentFields fields;
    EXPECT_FALSE(StatusLineView::fromFields(fields, testFont(), Qt::black, 10));
    fields.statusLine = "Walking · ●2";
    fields.dots = { { "codex", 2 } };
    auto fromLine = StatusLineView::fromFields(fields, testFont(), Qt::black, 10);
    ASSERT_TRUE(fromLine);
    EXPECT_EQ(fromLine->word(), "Walking · ●2");
    fields.statusWord = "Walking";
    EXPECT_EQ(StatusLineView::fromFields(fields, testFont(), Qt::black, 10)->word(), "Walking");

    PetSnapshot snapshot;
    snapshot.gait = Gait::walk;
    snapshot.sourceCounts = { { "codex", 2 }, { "claude", 1 } };
    EXPECT_FALSE(StatusLineView::fromSnapshot(snapshot, true, english(), testFont(), Qt::black, 10));
    auto view = StatusLineView::fromSnapshot(snapshot, false, english(), testFont(), Qt::black, 10);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->word(), "Walking");
    EXPECT_EQ(view->accessibleName(), "Walking · \u25CF1 \u25CF2");
    EXPECT_EQ(paletteRuns(drawn(*view, "status-line-snapshot")), (std::vector<std::string> { "claude", "codex" }));
}

TEST(StatusLineView, LongWordShrinksThenIsCutButTheDotsStay)
{
    StatusLineView view("Waiting for you to come back to the terminal", { { "claude", 1 } }, "", testFont(), Qt::black, 10);
    EXPECT_GT(view.sizeHint().width(), 200);
    QImage image = drawn(view, "status-line-narrow", 140);
    EXPECT_EQ(paletteRuns(image), (std::vector<std::string> { "claude" }));
    // Nothing is drawn past the space given, and nothing below or above the one line.
    for (int y = 0; y < image.height(); ++y)
        for (int x = 142; x < image.width(); ++x)
            ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255)) << describe(image, x, y);
}
