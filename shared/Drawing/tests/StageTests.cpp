#include "DrawingTestSupport.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "shared/CollarPalette.hpp"
#include "shared/Drawing/PawletStage.hpp"
#include "shared/Drawing/StageModel.hpp"
#include "shared/SpriteMath.hpp"

#include <gtest/gtest.h>

using namespace PawletShared;
using namespace DrawingTestSupport;
namespace fs = std::filesystem;
using PawletKit::Date;

namespace {

Date const t0 = Date::fromSeconds(1'750'000'000);

QColor const headColour(220, 30, 30);

// Frame i: a blue body whose green channel is 50 × i, a red head at the right (the sprites face
// right), 270 × 200 pixels.
void writeFrame(fs::path const& path, int index)
{
    fs::create_directories(path.parent_path());
    QImage image = transparentImage(270, 200);
    QPainter painter(&image);
    painter.fillRect(QRect(40, 80, 160, 80), QColor(30, 50 * index, 200));
    painter.fillRect(QRect(200, 40, 60, 60), headColour);
    painter.end();
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));
}

// A sprite directory: run (4 frames at 12 fps) with collar anchors, walk (3 frames) without, and
// idle named in the manifest but without any image.
class StageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestSupport::writeFile(root() / "manifest.json", R"({"version": 1, "box": {"w": 135, "h": 100}, "logicalHeight": 100, "scale": 2,
            "skins": ["soft"], "facing": "right", "states": {"run": {"frames": 4, "fps": 12, "period": 0.33},
            "walk": {"frames": 3, "fps": 8, "period": 0.4}, "idle": {"frames": 2, "fps": 4, "period": 0.5}}})");
        for (int index = 0; index < 4; ++index)
            writeFrame(root() / "soft" / "run" / SpriteMath::fileName(index), index);
        for (int index = 0; index < 3; ++index)
            writeFrame(root() / "soft" / "walk" / SpriteMath::fileName(index), index);
        TestSupport::writeFile(root() / "collar.json", R"({"version": 1, "pixelSize": {"w": 270, "h": 200}, "tag": {"side": 1, "r": 5, "along": 0.5},
            "skins": ["soft"], "anchors": {"soft": {"run": [{"x": 200, "y": 110, "w": 40, "h": 10, "angle": 0}]}}})");
        m_library = std::make_shared<SpriteLibrary>(root(), [](std::string_view) {});
    }

    fs::path const& root() const { return m_folder.path(); }
    std::shared_ptr<SpriteLibrary> const& library() const { return m_library; }

    // One render of a 600 × 300 stage with a 100-point pet standing at 0.9 of the height.
    QImage render(PawletStage& stage, Date now, std::optional<int64_t> freeze, std::string const& name)
    {
        QImage image = transparentImage(600, 300);
        {
            QPainter painter(&image);
            stage.render(painter, QSizeF(600, 300), now, freeze);
        }
        savePicture(image, name);
        return image;
    }

private:
    TestSupport::TemporaryDirectory m_folder;
    std::shared_ptr<SpriteLibrary> m_library;
};

PetSnapshot snapshot(Gait gait, Mood mood, std::vector<std::string> sources)
{
    PetSnapshot made;
    made.gait = gait;
    made.mood = mood;
    made.activeSources = std::move(sources);
    return made;
}

bool isBody(QImage const& image, int x, int y, int frame)
{
    return QColor::fromRgba(image.pixel(x, y)) == QColor(30, 50 * frame, 200);
}

}

TEST(StageModel, FrameIndexFromTimeRateAndFreeze)
{
    double const infinity = std::numeric_limits<double>::infinity();
    double const nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        int64_t count;
        double fps, rate, elapsed;
        std::optional<int64_t> freeze;
        int64_t expected;
    } const cases[] = {
        { 10, 12, 1.0, 1.25, std::nullopt, 5 },
        { 10, 12, 0.5, 1.25, std::nullopt, 7 },
        { 10, 12, 1.0, -3, std::nullopt, 0 },
        { 10, 12, 1.0, 0.99, std::nullopt, 1 },
        { 10, 12, 1.0, 1.25, -1, 9 },
        { 10, 12, 1.0, 1.25, 23, 3 },
        { 10, 12, 1.0, 1.25, INT64_MIN, 2 },
        { 10, 12, 1.0, 1.25, INT64_MAX, 7 },
        { 0, 12, 1.0, 1.25, 3, 0 },
        { 10, 0, 1.0, 1.25, std::nullopt, 0 },
        { 10, 12, 0, 1.25, std::nullopt, 0 },
        { 10, 12, nan, 1.25, std::nullopt, 0 },
        { 10, 12, 1.0, infinity, std::nullopt, 0 },
        { 10, infinity, 1.0, 1.25, std::nullopt, 0 },
        // The product overflows to infinity: its remainder is not a number, and must not reach an
        // integer conversion.
        { 10, 1e300, 1e10, 1e10, std::nullopt, 0 },
        { 10, 1e300, 1.0, 1e10, std::nullopt, 0 },
    };
    for (auto const& c : cases)
        EXPECT_EQ(StageModel::frameIndex(c.count, c.fps, c.rate, c.elapsed, c.freeze), c.expected)
            << c.count << " frames, " << c.fps << " fps, rate " << c.rate << ", " << c.elapsed << " s, freeze " << c.freeze.value_or(-999);
}

TEST_F(StageTest, DrawnWidthFollowsTheBox)
{
    EXPECT_EQ(StageModel::drawnWidth(library()->manifest(), 100), 135);
    SpriteManifest flat = library()->manifest();
    flat.box.h = 0;
    EXPECT_EQ(StageModel::drawnWidth(flat, 100), 135);
    flat.box = { 200, 100 };
    EXPECT_EQ(StageModel::drawnWidth(flat, 50), 100);
}

TEST_F(StageTest, WalksAtTheClipSpeedScaledByWidthAndCapsLongGaps)
{
    RoamBounds const wide { 0, 4000 };
    struct Case {
        ClipChoice choice;
        double width;
        double gap;
        double expectedDistance;
    } const cases[] = {
        { { Clip::run, 1.0 }, 162, 0.25, 35 },
        { { Clip::run, 1.0 }, 81, 0.25, 17.5 },
        { { Clip::walk, 1.0 }, 162, 0.5, 22.5 },
        { { Clip::run, 1.0 }, 162, 3, 70 },
        { { Clip::run, 0.5 }, 162, 0.5, 35 },
        { { Clip::idle, 0.5 }, 162, 0.5, 0 },
        { { Clip::run, 1.0 }, 162, -2, 0 },
    };
    for (auto const& c : cases) {
        StageModel model;
        model.step(t0, c.choice, Skin::soft, *library(), c.width, wide, std::nullopt);
        double start = model.roamer.x;
        EXPECT_EQ(start, (4000 - c.width) / 2);
        model.step(t0 + c.gap, c.choice, Skin::soft, *library(), c.width, wide, std::nullopt);
        EXPECT_DOUBLE_EQ(model.roamer.x - start, c.expectedDistance) << rawValue(c.choice.clip) << " at " << c.width << " after " << c.gap;
    }

    // Frozen, the pet stands still.
    StageModel frozen;
    frozen.step(t0, { Clip::run, 1.0 }, Skin::soft, *library(), 162, wide, -1);
    double start = frozen.roamer.x;
    EXPECT_EQ(frozen.step(t0 + 0.4, { Clip::run, 1.0 }, Skin::soft, *library(), 162, wide, -1), 3);
    EXPECT_EQ(frozen.roamer.x, start);
}

TEST_F(StageTest, FirstStepCentresThenWidthChangesKeepTheCentre)
{
    StageModel model;
    model.step(t0, { Clip::idle, 1.0 }, Skin::soft, *library(), 135, { 20, 380 }, std::nullopt);
    EXPECT_EQ(model.roamer, (Roamer { 132.5, 135, 1 }));

    model.roamer.facing = -1;
    model.step(t0 + 1, { Clip::idle, 1.0 }, Skin::soft, *library(), 100, { 20, 380 }, std::nullopt);
    EXPECT_EQ(model.roamer, (Roamer { 150, 100, -1 }));

    // A narrower stage brings the pet back inside.
    model.step(t0 + 2, { Clip::idle, 1.0 }, Skin::soft, *library(), 100, { 20, 200 }, std::nullopt);
    EXPECT_EQ(model.roamer.x, 100);
}

TEST_F(StageTest, ClipChangeReloadsAndRestartsTheFrameCount)
{
    StageModel model;
    EXPECT_EQ(model.step(t0, { Clip::run, 1.0 }, Skin::soft, *library(), 135, { 0, 600 }, std::nullopt), 0);
    EXPECT_EQ(model.step(t0 + 0.25, { Clip::run, 1.0 }, Skin::soft, *library(), 135, { 0, 600 }, std::nullopt), 3);
    EXPECT_EQ(model.clipStart, t0);
    EXPECT_EQ(model.frames->images.size(), 4u);

    // Walk starts from its own first frame at the step where it is first seen.
    EXPECT_EQ(model.step(t0 + 0.5, { Clip::walk, 1.0 }, Skin::soft, *library(), 135, { 0, 600 }, std::nullopt), 0);
    EXPECT_EQ(model.clipStart, t0 + 0.5);
    EXPECT_EQ(model.current, (StageModel::Loaded { Skin::soft, Clip::walk }));
    EXPECT_EQ(model.step(t0 + 0.75, { Clip::walk, 1.0 }, Skin::soft, *library(), 135, { 0, 600 }, std::nullopt), 2);
    EXPECT_EQ(model.clipStart, t0 + 0.5);
}

TEST_F(StageTest, RendersTheFrameWithTheCollarAndMirrorsWhenWalkingLeft)
{
    auto model = std::make_shared<StageModel>();
    PawletStage stage(snapshot(Gait::run, Mood::normal, { "claude", "codex" }), Skin::soft, library(), 100, 0.9, 20, std::nullopt, model);
    ASSERT_TRUE(stage.collarStyle());

    // Facing right: the box spans x 232.5 to 367.5 and y 170 to 270; the head at its right.
    QImage right = render(stage, t0, 2, "stage-right");
    EXPECT_EQ(QColor::fromRgba(right.pixel(347, 200)), headColour) << describe(right, 347, 200);
    EXPECT_TRUE(isBody(right, 292, 230, 2)) << describe(right, 292, 230);
    EXPECT_TRUE(looksLike(right, 327, 225, CollarPalette::claude, 255, 4)) << describe(right, 327, 225);
    EXPECT_TRUE(looksLike(right, 338, 225, CollarPalette::codex, 255, 4)) << describe(right, 338, 225);
    EXPECT_EQ(qAlpha(right.pixel(231, 200)), 0);
    EXPECT_EQ(qAlpha(right.pixel(369, 200)), 0);

    // Facing left: everything mirrored about the box's centre at x 300, the collar with it.
    model->roamer.facing = -1;
    QImage left = render(stage, t0 + 1, 2, "stage-left");
    EXPECT_EQ(QColor::fromRgba(left.pixel(252, 200)), headColour) << describe(left, 252, 200);
    EXPECT_EQ(qAlpha(left.pixel(347, 200)), 0) << describe(left, 347, 200);
    EXPECT_TRUE(isBody(left, 307, 230, 2)) << describe(left, 307, 230);
    EXPECT_TRUE(looksLike(left, 272, 225, CollarPalette::claude, 255, 4)) << describe(left, 272, 225);
    EXPECT_TRUE(looksLike(left, 261, 225, CollarPalette::codex, 255, 4)) << describe(left, 261, 225);

    // A new stage for a new snapshot keeps the place and direction.
    PawletStage next(snapshot(Gait::run, Mood::normal, { "codex" }), Skin::pixel, library(), 100, 0.9, 20, std::nullopt, stage.model());
    QImage again = render(next, t0 + 2, 2, "stage-left-codex");
    EXPECT_TRUE(looksLike(again, 272, 225, CollarPalette::codex, 255, 4)) << describe(again, 272, 225);
    EXPECT_EQ(model->roamer.x, 232.5);
}

// On the stage the band's outline lies inside the band: the collar covers exactly the band's
// thickness, 10 points for a band 10 frame pixels thick at one point per pixel.
TEST_F(StageTest, TheCollarsOutlineStaysInsideTheBand)
{
    auto draw = [&](std::vector<std::string> sources, std::string const& name) {
        PawletStage stage(snapshot(Gait::run, Mood::normal, std::move(sources)), Skin::soft, library(), 200, 0.9, 20, std::nullopt,
            std::make_shared<StageModel>());
        return render(stage, t0, 0, name);
    };
    QImage const collared = draw({ "claude", "codex" }, "stage-collar-outline");
    QImage const plain = draw({ "cursor" }, "stage-collar-outline-plain");
    int left = collared.width();
    int right = -1;
    for (int y = 0; y < collared.height(); ++y)
        for (int x = 0; x < collared.width(); ++x)
            if (collared.pixel(x, y) != plain.pixel(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_LT(left, right);
    EXPECT_EQ(right - left + 1, 40);
    // Away from the tag, which hangs from the middle.
    for (int x : { left + 5, right - 5 }) {
        int rows = 0;
        for (int y = 0; y < collared.height(); ++y)
            rows += collared.pixel(x, y) != plain.pixel(x, y);
        EXPECT_EQ(rows, 10) << "column " << x;
    }
}

TEST_F(StageTest, NoCollarWithoutKnownSourcesOrAnchorsAndNothingWithoutImages)
{
    PawletStage unknown(snapshot(Gait::run, Mood::normal, { "cursor" }), Skin::soft, library(), 100, 0.9, 20, std::nullopt);
    EXPECT_FALSE(unknown.collarStyle());
    QImage plain = render(unknown, t0, 0, "stage-no-collar");
    EXPECT_TRUE(isBody(plain, 327, 225, 0)) << describe(plain, 327, 225);

    // Walk has frames but no anchors: the pet without a collar.
    PawletStage walking(snapshot(Gait::walk, Mood::normal, { "claude" }), Skin::soft, library(), 100, 0.9, 20, std::nullopt);
    QImage walk = render(walking, t0, 0, "stage-walk-no-anchors");
    EXPECT_TRUE(isBody(walk, 327, 225, 0)) << describe(walk, 327, 225);

    // Idle has no images: nothing visible, but the pet keeps its place.
    PawletStage idle(snapshot(Gait::idle, Mood::normal, { "claude" }), Skin::soft, library(), 100, 0.9, 20, std::nullopt);
    EXPECT_EQ(render(idle, t0, std::nullopt, "stage-empty"), transparentImage(600, 300));
    EXPECT_EQ(idle.model()->roamer.x, 232.5);
    EXPECT_EQ(idle.accessibleName(Localizer(Language::de, { { Language::de, { { "app.name", "Pupnik" } } } })), "Pupnik");
}

TEST(GeneratedSpritesStage, RendersARunningFrameMirroredWithTheCollarOnTheNeck)
{
    fs::path sprites = fs::path(PUPNIK_SHARE_DIR) / "Sprites";
    if (!fs::is_directory(sprites))
        GTEST_SKIP() << "no generated sprite directory at " << sprites;
    auto library = std::make_shared<SpriteLibrary>(sprites);
    ASSERT_TRUE(library->collarAnchors());
    auto model = std::make_shared<StageModel>();
    PawletStage stage(snapshot(Gait::run, Mood::normal, { "claude", "codex" }), Skin::soft, library, 100, 0.9, 20, std::nullopt, model);

    double w = stage.drawnWidth();
    auto anchor = library->collarAnchors()->anchor(Skin::soft, Clip::run, 0);
    ASSERT_TRUE(anchor);
    double scale = 100 / library->collarAnchors()->pixelSize.h;
    double boxLeft = (20 + 580 - w) / 2;
    double centreX = boxLeft + w / 2;

    // Where the collar's claude-coloured half lies, on average.
    auto claudeCentre = [](QImage const& image) {
        double sum = 0;
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (looksLike(image, x, y, CollarPalette::claude, 255, 2)) {
                    sum += x;
                    ++count;
                }
        return std::make_pair(count, count ? sum / count : 0.0);
    };

    QImage right = DrawingTestSupport::transparentImage(600, 300);
    {
        QPainter painter(&right);
        stage.render(painter, QSizeF(600, 300), t0, 0);
    }
    savePicture(right, "generated-stage-right");
    model->roamer.facing = -1;
    QImage left = DrawingTestSupport::transparentImage(600, 300);
    {
        QPainter painter(&left);
        stage.render(painter, QSizeF(600, 300), t0, 0);
    }
    savePicture(left, "generated-stage-left");

    // The pet stands inside its box and nowhere else.
    for (QImage const* image : { &right, &left }) {
        int inside = 0;
        for (int y = 0; y < image->height(); ++y)
            for (int x = 0; x < image->width(); ++x) {
                bool inBox = x >= int(boxLeft) - 1 && x <= int(boxLeft + w) + 1 && y >= 169 && y <= 271;
                if (qAlpha(image->pixel(x, y)) > 0) {
                    ASSERT_TRUE(inBox) << describe(*image, x, y);
                    ++inside;
                }
            }
        EXPECT_GT(inside, 2000);
    }

    // The collar's front half sits on the neck anchor, and on its mirror image when facing left.
    auto [rightCount, rightX] = claudeCentre(right);
    auto [leftCount, leftX] = claudeCentre(left);
    ASSERT_GT(rightCount, 10);
    ASSERT_GT(leftCount, 10);
    double anchorX = boxLeft + scale * anchor->x;
    EXPECT_NEAR(rightX, anchorX - scale * anchor->w / 4, scale * anchor->w / 2 + 3);
    EXPECT_NEAR(leftX, 2 * centreX - rightX, 2);
}
