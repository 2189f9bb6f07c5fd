#include "Choreographer.hpp"
#include "ClipSpec.hpp"
#include "DogFigure.hpp"
#include "SkinRenderer.hpp"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace SpriteArt;
using nlohmann::json;

std::filesystem::path const spritesDir = std::filesystem::path(PUPNIK_SHARE_DIR) / "Sprites";

char const* const skins[] = { "soft", "pixel", "ink", "geo" };

struct ClipRow {
    char const* name;
    int frames;
    double fps;
    double period;
};

// What the application expects of every clip: its built-in counts and rates.
ClipRow const clips[] = {
    { "run", 10, 24, 0.42 },
    { "walk", 18, 24, 0.75 },
    { "stroll", 31, 24, 1.3 },
    { "idle", 58, 24, 2.4 },
    { "hungry", 48, 24, 2.0 },
    { "happy", 12, 24, 0.5 },
    { "poop", 62, 24, 2.6 },
    { "sick", 36, 12, 3.0 },
};

json readJson(std::filesystem::path const& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string const text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return json::parse(text);
}

std::filesystem::path framePath(char const* skin, char const* clip, int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "%02d.png", index);
    return spritesDir / skin / clip / name;
}

QImage load(std::filesystem::path const& path)
{
    return QImage(QString::fromStdString(path.string())).convertToFormat(QImage::Format_ARGB32);
}

// Mean absolute difference per channel over the frame: how far one frame is from another.
double difference(QImage const& a, QImage const& b)
{
    double total = 0;
    for (int y = 0; y < a.height(); ++y) {
        auto const* rowA = reinterpret_cast<QRgb const*>(a.constScanLine(y));
        auto const* rowB = reinterpret_cast<QRgb const*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            total += std::abs(qAlpha(rowA[x]) - qAlpha(rowB[x])) + std::abs(qRed(rowA[x]) - qRed(rowB[x]))
                + std::abs(qGreen(rowA[x]) - qGreen(rowB[x])) + std::abs(qBlue(rowA[x]) - qBlue(rowB[x]));
        }
    }
    return total / (4.0 * a.width() * a.height());
}

int alphaAt(QImage const& image, double x, double y)
{
    return qAlpha(image.pixel(int(std::floor(x)), int(std::floor(y))));
}

QRect opaqueBounds(QImage const& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

// The lowest row the frame covers at least half, or -1 for an empty frame.
int lowestRow(QImage const& image)
{
    for (int y = image.height() - 1; y >= 0; --y) {
        auto const* row = reinterpret_cast<QRgb const*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) >= 128)
                return y;
        }
    }
    return -1;
}

// How green the dog's own colours lean, over the pixels it covers fully: green less red, on
// average, a value per skin to compare one clip with another.
double greenLean(QImage const& image)
{
    double total = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        auto const* row = reinterpret_cast<QRgb const*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) == 255) {
                total += qGreen(row[x]) - qRed(row[x]);
                ++count;
            }
        }
    }
    return count > 0 ? total / count : 0;
}

bool isStrictNumber(json const& value)
{
    return value.is_number();
}

TEST(SpriteDirectory, ManifestDecodesStrictlyWithTheApplicationsCountsAndRates)
{
    json const manifest = readJson(spritesDir / "manifest.json");
    ASSERT_TRUE(manifest.is_object());
    // Both readers require every key with its type and fail the whole file otherwise.
    ASSERT_TRUE(manifest["version"].is_number_integer());
    ASSERT_TRUE(manifest["box"].is_object());
    EXPECT_EQ(manifest["box"]["w"], 135);
    EXPECT_EQ(manifest["box"]["h"], 100);
    ASSERT_TRUE(isStrictNumber(manifest["logicalHeight"]));
    ASSERT_TRUE(isStrictNumber(manifest["scale"]));
    EXPECT_EQ(manifest["scale"], 2);
    ASSERT_TRUE(manifest["skins"].is_array());
    EXPECT_EQ(manifest["skins"], json::array({ "soft", "pixel", "ink", "geo" }));
    ASSERT_TRUE(manifest["facing"].is_string());
    EXPECT_EQ(manifest["facing"], "right");
    ASSERT_TRUE(manifest["states"].is_object());
    EXPECT_EQ(manifest["states"].size(), std::size(clips));
    for (auto const& clip : clips) {
        SCOPED_TRACE(clip.name);
        json const& state = manifest["states"][clip.name];
        ASSERT_TRUE(state.is_object());
        ASSERT_TRUE(state["frames"].is_number_integer());
        ASSERT_TRUE(isStrictNumber(state["fps"]));
        ASSERT_TRUE(isStrictNumber(state["period"]));
        EXPECT_EQ(state["frames"].get<long long>(), clip.frames);
        EXPECT_DOUBLE_EQ(state["fps"].get<double>(), clip.fps);
        EXPECT_DOUBLE_EQ(state["period"].get<double>(), clip.period);
    }
}

TEST(SpriteDirectory, EveryFrameOfEverySkinAndClipIsThereAtTheFrameSize)
{
    for (auto const* skin : skins) {
        for (auto const& clip : clips) {
            SCOPED_TRACE(std::string(skin) + "/" + clip.name);
            for (int index = 0; index < clip.frames; ++index) {
                QImage const image = load(framePath(skin, clip.name, index));
                ASSERT_FALSE(image.isNull()) << framePath(skin, clip.name, index);
                ASSERT_EQ(image.width(), 270);
                ASSERT_EQ(image.height(), 200);
                // Transparent round the dog, and the dog there.
                EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
                EXPECT_EQ(qAlpha(image.pixel(269, 0)), 0);
                int opaque = 0;
                for (int y = 0; y < image.height(); y += 2) {
                    for (int x = 0; x < image.width(); x += 2)
                        opaque += qAlpha(image.pixel(x, y)) == 255;
                }
                EXPECT_GT(opaque, 1000);
            }
            // No stray frame beyond the count, which a reader would never show.
            EXPECT_FALSE(std::filesystem::exists(framePath(skin, clip.name, clip.frames)));
        }
    }
}

TEST(SpriteDirectory, EverySkinHasAStillOfEveryClip)
{
    for (auto const* skin : skins) {
        for (auto const& clip : clips) {
            QImage const still = load(spritesDir / "Stills" / skin / (std::string(clip.name) + ".png"));
            EXPECT_EQ(still.size(), QSize(270, 200)) << skin << "/" << clip.name;
        }
    }
}

TEST(SpriteDirectory, CollarLiesAcrossTheNeckInEveryFrame)
{
    json const collar = readJson(spritesDir / "collar.json");
    ASSERT_TRUE(collar["version"].is_number_integer());
    EXPECT_EQ(collar["pixelSize"]["w"], 270);
    EXPECT_EQ(collar["pixelSize"]["h"], 200);
    for (auto const* key : { "side", "r", "along" })
        ASSERT_TRUE(collar["tag"][key].is_number()) << key;
    ASSERT_TRUE(collar["skins"].is_array());
    for (auto const* skin : skins) {
        for (auto const& clip : clips) {
            SCOPED_TRACE(std::string(skin) + "/" + clip.name);
            json const& anchors = collar["anchors"][skin][clip.name];
            ASSERT_TRUE(anchors.is_array());
            ASSERT_EQ(anchors.size(), std::size_t(clip.frames));
            for (int index = 0; index < clip.frames; ++index) {
                SCOPED_TRACE(index);
                json const& anchor = anchors[std::size_t(index)];
                for (auto const* key : { "x", "y", "w", "h", "angle" })
                    ASSERT_TRUE(anchor[key].is_number()) << key;
                double const x = anchor["x"], y = anchor["y"], w = anchor["w"], h = anchor["h"], angle = anchor["angle"];
                EXPECT_GT(w, 2 * h);
                double const dx = std::cos(angle) * w / 2, dy = std::sin(angle) * w / 2;
                for (double end : { -1.0, 1.0 }) {
                    EXPECT_GE(x + end * dx, 0);
                    EXPECT_LT(x + end * dx, 270);
                    EXPECT_GE(y + end * dy, 0);
                    EXPECT_LT(y + end * dy, 200);
                }
                // The middle of the band and most of its length are on the dog.
                QImage const frame = load(framePath(skin, clip.name, index));
                for (double along : { -0.6, 0.0, 0.6 })
                    EXPECT_GT(alphaAt(frame, x + along * dx, y + along * dy), 200) << "at " << along;
                // A neck, not the middle of the body: at the front of the dog, behind the nose.
                QRect const dog = opaqueBounds(frame);
                EXPECT_GT(x, dog.left() + 0.55 * dog.width());
                EXPECT_LT(x, dog.right() - 30);
            }
        }
    }
}

TEST(SpriteDirectory, EveryClipLoopsWithoutAJump)
{
    // How far a step may run ahead of the clip's mean step before it reads as a jump, and how much
    // of the frame a blink, a tongue or a dropping changes at once, which may come in one frame.
    constexpr double jumpFactor = 2.5;
    constexpr double smallChange = 1.5;
    for (auto const* skin : skins) {
        for (auto const& clip : clips) {
            SCOPED_TRACE(std::string(skin) + "/" + clip.name);
            std::vector<QImage> frames;
            for (int index = 0; index < clip.frames; ++index)
                frames.push_back(load(framePath(skin, clip.name, index)));
            // steps[i] leads from frame i to the next, the last one back to the first.
            std::vector<double> steps;
            for (std::size_t index = 0; index < frames.size(); ++index)
                steps.push_back(difference(frames[index], frames[(index + 1) % frames.size()]));
            double const seam = steps.back();
            double const largestStep = *std::max_element(steps.begin(), steps.end() - 1);
            double const smallestStep = *std::min_element(steps.begin(), steps.end() - 1);
            double const meanStep = std::accumulate(steps.begin(), steps.end(), 0.0) / double(steps.size());
            // The last frame leads into the first as any frame into the next...
            EXPECT_LE(seam, largestStep * 1.25 + 0.01);
            // ...and is not the first frame over again, which would stutter (unless the clip holds
            // still between other frames too, as a coarse grid does with slow movements).
            EXPECT_TRUE(seam > 0 || smallestStep == 0);
            // Nor does the loop rest on its seam while the rest of it moves: a held frame every pass.
            if (smallestStep > 0) {
                EXPECT_GE(seam, 0.25 * meanStep) << "the seam is " << seam / meanStep << " times the mean step";
            }
            // No step leaps far ahead of the clip's pace: a pose reached in one frame is a jump
            // however smoothly the rest moves.
            for (std::size_t index = 0; index < steps.size(); ++index) {
                if (steps[index] > smallChange) {
                    EXPECT_LE(steps[index], jumpFactor * meanStep) << "frame " << index << " to " << (index + 1) % steps.size()
                                                                   << " is " << steps[index] / meanStep << " times the mean step";
                }
            }
        }
    }
}

TEST(SpriteDirectory, NothingSinksBelowTheGroundLineAndTheDogStandsOnIt)
{
    // The paws' soles in every clip, and how far a skin's outline may reach past them.
    constexpr int groundRow = 188;
    constexpr int outline = 3;
    struct Row {
        char const* clip;
        bool onTheGroundThroughout; // false: it leaves the ground (a gallop's flight, a hop) and lands again
    };
    Row const rows[] = {
        { "run", false },
        { "walk", true },
        { "stroll", true },
        { "idle", true },
        { "hungry", true },
        { "happy", false },
        { "poop", true },
        { "sick", true },
    };
    static_assert(std::size(rows) == std::size(clips));
    for (auto const* skin : skins) {
        for (auto const& row : rows) {
            SCOPED_TRACE(std::string(skin) + "/" + row.clip);
            int framesOnTheGround = 0;
            for (int index = 0; index < clipNamed(row.clip).frames; ++index) {
                int const lowest = lowestRow(load(framePath(skin, row.clip, index)));
                EXPECT_LE(lowest, groundRow + outline) << "frame " << index << " reaches below the ground";
                bool const onTheGround = lowest >= groundRow - outline;
                framesOnTheGround += onTheGround;
                if (row.onTheGroundThroughout) {
                    EXPECT_TRUE(onTheGround) << "frame " << index << " floats: lowest row " << lowest;
                }
            }
            EXPECT_GT(framesOnTheGround, 0);
        }
    }
}

TEST(SpriteDirectory, TheSickDogIsPaleAndGreenerThanTheRestingOne)
{
    // A sick dog lying still in its usual coat reads as asleep; every skin turns it greenish.
    for (auto const* skin : skins) {
        SCOPED_TRACE(skin);
        double const resting = greenLean(load(framePath(skin, "idle", 0)));
        ClipSpec const& sick = clipNamed("sick");
        for (int index = 0; index < sick.frames; index += 6) {
            EXPECT_GT(greenLean(load(framePath(skin, "sick", index))), resting + 8) << "frame " << index;
        }
    }
}

TEST(HungryPoses, TheNoseGoesIntoTheEmptyBowlAndTheHeadComesUpAgain)
{
    // Every skin builds its own muzzle, so every skin's nose has to find the bowl.
    ClipSpec const& clip = clipNamed("hungry");
    for (auto const* skin : skins) {
        SCOPED_TRACE(skin);
        auto const renderer = SkinRenderer::forSkin(skin);
        int inTheBowl = 0;
        int lookingUp = 0;
        for (int index = 0; index < clip.frames; ++index) {
            DogFigure const figure
                = DogFigure::of(Choreographer::pose(clip, clip.phase(index)), renderer->smallestStep(), renderer->proportions());
            ASSERT_TRUE(figure.bowl) << "frame " << index;
            QRectF const bowl = *figure.bowl;
            QPointF const nose = figure.nose.centre;
            // Over the bowl's opening, dipping below its rim but not through its floor.
            bool const nosing = nose.x() > bowl.left() + 4 && nose.x() < bowl.right() - 4 && nose.y() > bowl.top() - 2
                && nose.y() < bowl.bottom() - 8;
            inTheBowl += nosing;
            // Up and clear of the bowl, the head above the back.
            lookingUp += nose.y() < bowl.top() - 40 && figure.skull.centre.y() < figure.chest.centre.y() - 20;
            // Never through the bowl's wall or the ground.
            EXPECT_LT(nose.y(), bowl.bottom() - 6) << "frame " << index;
        }
        EXPECT_GE(inTheBowl, clip.frames / 3);
        EXPECT_GE(lookingUp, clip.frames / 4);
    }
}

TEST(GaitPoses, PawsOnTheGroundMoveWithTheGroundAndNeverSlide)
{
    struct Row {
        char const* clip;
        double pixelsPerFrame; // the application's speed at its default pet height of 96 points
        bool flies; // a moment with all four paws off the ground
    };
    Row const rows[] = {
        { "stroll", 18 * 200.0 / 96 / 24, false },
        { "walk", 45 * 200.0 / 96 / 24, false },
        { "run", 140 * 200.0 / 96 / 24, true },
    };
    for (auto const& row : rows) {
        SCOPED_TRACE(row.clip);
        ClipSpec const& clip = clipNamed(row.clip);
        bool flew = false;
        for (int index = 0; index < clip.frames; ++index) {
            Pose const pose = Choreographer::pose(clip, clip.phase(index));
            Pose const next = Choreographer::pose(clip, clip.phase(index + 1));
            DogFigure const figure = DogFigure::of(pose);
            int carrying = 0;
            for (Leg leg : allLegs) {
                if (!Choreographer::carries(clip, leg, clip.phase(index)))
                    continue;
                ++carrying;
                EXPECT_DOUBLE_EQ(pose.paws[leg].y(), groundY - ankleHeight);
                // The leg reaches the paw: it is not pulled off its spot.
                EXPECT_NEAR(figure.legs[leg].end.x(), pose.paws[leg].x(), 0.01) << "leg " << leg << " frame " << index;
                EXPECT_NEAR(figure.legs[leg].end.y(), pose.paws[leg].y(), 0.01) << "leg " << leg << " frame " << index;
                if (Choreographer::carries(clip, leg, clip.phase(index + 1))) {
                    EXPECT_NEAR(pose.paws[leg].x() - next.paws[leg].x(), row.pixelsPerFrame, 1e-6) << "leg " << leg;
                }
            }
            flew = flew || carrying == 0;
            if (!row.flies) {
                EXPECT_GE(carrying, 2) << "frame " << index;
            }
        }
        EXPECT_EQ(flew, row.flies);
    }
}

}
