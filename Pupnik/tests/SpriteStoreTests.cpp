#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/MenuBarIcon.hpp"
#include "Pupnik/SpriteStore.hpp"
#include "Pupnik/tests/SpriteFolder.hpp"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>

using namespace Pupnik;
using Pupnik::Tests::SpriteFolder;
using PupnikCore::Clip;
using PupnikCore::Skin;

namespace {

QColor pixelAt(QImage const& image, double xFraction, double yFromBottomFraction)
{
    int x = int(image.width() * xFraction);
    int y = image.height() - 1 - int(image.height() * yFromBottomFraction);
    return image.pixelColor(x, y);
}

// The x of the first dark marker pixel along a row at the given height from the bottom.
int markerX(QImage const& image, double yFromBottomFraction)
{
    int y = image.height() - 1 - int(image.height() * yFromBottomFraction);
    for (int x = 0; x < image.width(); ++x) {
        QColor c = image.pixelColor(x, y);
        if (c.alpha() > 200 && c.red() < 40 && c.green() < 40)
            return x;
    }
    return -1;
}

}

TEST(SpriteStore, WithoutADirectoryEveryClipIsItsColouredPlaceholder)
{
    testing::internal::CaptureStderr();
    SpriteStore store(std::nullopt);
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, "[Pupnik] no sprite directory — using placeholders\n");
    EXPECT_TRUE(store.usingPlaceholders());

    auto frames = store.frames(Skin::pixel, Clip::run);
    ASSERT_EQ(int64_t(frames.size()), PupnikCore::SpriteManifest::builtIn().timing(Clip::run).frames);
    int previousMarker = -1;
    for (QImage const& frame : frames) {
        EXPECT_EQ(frame.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(frame.size(), QSize(324, 240));
        // Between two stripes of the body: the clip's red-orange at 0.9 alpha.
        QColor body = pixelAt(frame, 0.15 + 12.0 / 324, 0.05);
        EXPECT_NEAR(body.alphaF(), 0.9, 0.01);
        EXPECT_NEAR(body.redF(), 0.95, 0.02);
        EXPECT_NEAR(body.greenF(), 0.35, 0.02);
        EXPECT_NEAR(body.blueF(), 0.25, 0.02);
        // Outside the body nothing is drawn.
        EXPECT_EQ(pixelAt(frame, 0.02, 0.5).alpha(), 0);
        int marker = markerX(frame, 0.67);
        EXPECT_GT(marker, previousMarker);
        previousMarker = marker;
    }
}

TEST(SpriteStore, FramesComeFromTheDirectoryInTheDrawingFormat)
{
    SpriteFolder sprites({ { "idle", 3 }, { "run", 2 } });
    sprites.writeFrames("geo", "idle", 3);
    SpriteStore store(sprites.base);
    auto frames = store.frames(Skin::geo, Clip::idle);
    ASSERT_EQ(frames.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[i].format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(frames[i].pixelColor(2, 2).red(), i * 20);
    }
    EXPECT_FALSE(store.usingPlaceholders());
    EXPECT_EQ(store.fps(Clip::idle), 12);
}

TEST(SpriteStore, FramesWithTheSamePixelsShareOneImage)
{
    SpriteFolder sprites({ { "idle", 6 } });
    sprites.writeFrames("soft", "idle", std::vector<int> { 0, 0, 20, 0, 40, 40 });
    SpriteStore store(sprites.base);
    auto frames = store.frames(Skin::soft, Clip::idle);
    ASSERT_EQ(frames.size(), 6u);
    std::vector<int> reds;
    for (QImage const& frame : frames)
        reds.push_back(frame.pixelColor(2, 2).red());
    EXPECT_EQ(reds, (std::vector<int> { 0, 0, 20, 0, 40, 40 }));
    // Alike anywhere in the clip, not only next to each other; different frames stay apart.
    EXPECT_EQ(frames[1].cacheKey(), frames[0].cacheKey());
    EXPECT_EQ(frames[3].cacheKey(), frames[0].cacheKey());
    EXPECT_EQ(frames[5].cacheKey(), frames[4].cacheKey());
    EXPECT_NE(frames[2].cacheKey(), frames[0].cacheKey());
    EXPECT_NE(frames[4].cacheKey(), frames[2].cacheKey());
    EXPECT_NE(frames[4].cacheKey(), frames[0].cacheKey());
}

TEST(SpriteStore, AClipWithAMissingFrameIsAllPlaceholdersAndSaysWhichFile)
{
    SpriteFolder sprites({ { "idle", 3 } });
    sprites.writeFrames("soft", "idle", 3);
    std::filesystem::remove(sprites.framePath("soft", "idle", 2));
    SpriteStore store(sprites.base);
    testing::internal::CaptureStderr();
    auto frames = store.frames(Skin::soft, Clip::idle);
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, "[Pupnik] missing frame " + sprites.framePath("soft", "idle", 2).string() + " — placeholder for soft/idle\n");
    ASSERT_EQ(frames.size(), 3u);
    // Placeholders have the box's size (8 × 6 here) and the idle green, not the files' colour.
    EXPECT_EQ(frames[0].size(), QSize(8, 6));
    EXPECT_TRUE(store.usingPlaceholders());
}

TEST(SpriteStore, FramesThatCouldExhaustMemoryOrBlockAreTreatedAsMissing)
{
    SpriteFolder sprites({ { "idle", 1 }, { "walk", 1 }, { "happy", 1 } });
    sprites.writeFrames("soft", "idle", 1, SpriteStore::maxFrameSide + 1, 2);
    std::filesystem::create_directories(sprites.framePath("soft", "walk", 0).parent_path());
    ASSERT_EQ(mkfifo(sprites.framePath("soft", "walk", 0).c_str(), 0600), 0);
    std::filesystem::create_directories(sprites.framePath("soft", "happy", 0).parent_path());
    TestSupport::writeFile(sprites.framePath("soft", "happy", 0), "not a picture");
    SpriteStore store(sprites.base);
    testing::internal::CaptureStderr();
    for (Clip clip : { Clip::idle, Clip::walk, Clip::happy }) {
        auto frames = store.frames(Skin::soft, clip);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].size(), QSize(8, 6));
    }
    testing::internal::GetCapturedStderr();
}

TEST(SpriteStore, PlaceholdersOfAHugeManifestAreBounded)
{
    PupnikCore::SpriteManifest manifest = PupnikCore::SpriteManifest::builtIn();
    manifest.box = { 4096, 1 };
    manifest.scale = 16;
    manifest.logicalHeight = 4096;
    auto frames = SpriteStore::placeholderFrames(Clip::run, 1000, manifest);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0].size(), QSize(SpriteStore::maxPlaceholderSide, SpriteStore::maxPlaceholderSide));
    int64_t bytes = 0;
    for (auto const& frame : frames)
        bytes += frame.sizeInBytes();
    EXPECT_LE(bytes, SpriteStore::clipByteBudget);
    EXPECT_TRUE(SpriteStore::placeholderFrames(Clip::run, 0, manifest).empty());
}

TEST(SpriteStore, AnUnreadableManifestFallsBackToPlaceholders)
{
    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder.path() / "manifest.json", "{\"version\": 1}");
    testing::internal::CaptureStderr();
    SpriteStore store(folder.path());
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log.rfind("[Pupnik] sprite manifest missing or invalid at " + folder.path().string() + ": ", 0), 0u) << log;
    EXPECT_NE(log.find(" — using placeholders\n"), std::string::npos);
    EXPECT_FALSE(store.baseURL());
    EXPECT_TRUE(store.usingPlaceholders());
    EXPECT_EQ(store.manifest(), PupnikCore::SpriteManifest::builtIn());
}

TEST(SpriteStore, SickIsHungryAtFiftyFivePercentWhenTheDirectoryHasNone)
{
    struct Case {
        char const* name;
        std::map<std::string, int> states;
        bool logsFallback;
    };
    Case const cases[] {
        { "no sick in the manifest", { { "hungry", 2 } }, false },
        { "sick declared, its files missing", { { "hungry", 2 }, { "sick", 2 } }, true },
    };
    for (auto const& c : cases) {
        SpriteFolder sprites(c.states);
        sprites.writeFrames("ink", "hungry", 2);
        SpriteStore store(sprites.base);
        auto hungry = store.frames(Skin::ink, Clip::hungry);
        testing::internal::CaptureStderr();
        auto sick = store.frames(Skin::ink, Clip::sick);
        std::string log = testing::internal::GetCapturedStderr();
        ASSERT_EQ(sick.size(), hungry.size()) << c.name;
        for (size_t i = 0; i < sick.size(); ++i) {
            QColor full = hungry[i].pixelColor(3, 3);
            QColor faded = sick[i].pixelColor(3, 3);
            EXPECT_NEAR(faded.alphaF(), 0.55, 0.01) << c.name;
            // Un-premultiplied, the colour is the hungry frame's.
            EXPECT_NEAR(faded.green(), full.green(), 2) << c.name;
        }
        EXPECT_EQ(log.find("falling back to hungry") != std::string::npos, c.logsFallback) << c.name << ": " << log;
        EXPECT_FALSE(store.usingPlaceholders()) << c.name;
        EXPECT_EQ(store.cachedKeys(), (std::vector<std::string> { "ink/hungry", "ink/sick" })) << c.name;
    }
}

TEST(SpriteStore, KeepsTheThreeMostRecentlyUsedClips)
{
    SpriteStore store(std::nullopt);
    store.frames(Skin::soft, Clip::run);
    store.frames(Skin::soft, Clip::walk);
    store.frames(Skin::geo, Clip::run);
    store.frames(Skin::soft, Clip::run);
    EXPECT_EQ(store.cachedKeys(), (std::vector<std::string> { "soft/walk", "geo/run", "soft/run" }));
    store.frames(Skin::soft, Clip::idle);
    EXPECT_EQ(store.cachedKeys(), (std::vector<std::string> { "geo/run", "soft/run", "soft/idle" }));
    // An evicted clip is made again; its frames are fresh but alike.
    auto again = store.frames(Skin::soft, Clip::walk);
    EXPECT_EQ(again.size(), size_t(PupnikCore::SpriteManifest::builtIn().timing(Clip::walk).frames));
    EXPECT_EQ(store.cachedKeys().size(), SpriteStore::cachedClips);
}

TEST(SpriteStore, OneFrameIsClampedWhenCachedAndReadFromItsFileOtherwise)
{
    SpriteFolder sprites({ { "idle", 3 } });
    sprites.writeFrames("geo", "idle", 3);
    SpriteStore store(sprites.base);
    // Not cached: the file of exactly that index, nothing cached.
    auto direct = store.frame(Skin::geo, Clip::idle, 1);
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->pixelColor(0, 0).red(), 20);
    EXPECT_FALSE(store.frame(Skin::geo, Clip::idle, 99));
    EXPECT_TRUE(store.cachedKeys().empty());

    auto frames = store.frames(Skin::geo, Clip::idle);
    struct Case {
        int64_t index;
        int red;
    };
    for (auto c : { Case { -5, 0 }, Case { 0, 0 }, Case { 2, 40 }, Case { 99, 40 } }) {
        auto frame = store.frame(Skin::geo, Clip::idle, c.index);
        ASSERT_TRUE(frame) << c.index;
        EXPECT_EQ(frame->pixelColor(0, 0).red(), c.red) << c.index;
    }
    EXPECT_FALSE(SpriteStore(std::nullopt).frame(Skin::geo, Clip::idle, 0));
}

TEST(SpriteStore, TheTrayIconIsASilhouetteWithAnOptionalBadge)
{
    QImage square(100, 100, QImage::Format_ARGB32_Premultiplied);
    square.fill(QColor(200, 120, 40));
    enum class Ink { clear,
        black,
        badge };
    struct Case {
        char const* name;
        std::optional<QImage> sprite;
        bool badge;
        // Points from the icon's lower left and what each shows.
        std::vector<std::tuple<double, double, Ink>> probes;
    };
    Case const cases[] {
        { "no sprite", std::nullopt, false, { { 8, 7, Ink::black }, { 14.5, 10.5, Ink::black }, { 1, 16, Ink::clear }, { 16.5, 3.5, Ink::clear } } },
        { "no sprite, badge", std::nullopt, true, { { 8, 7, Ink::black }, { 16.5, 3.5, Ink::badge } } },
        // A square sprite fits 17 × 17 points, centred, 1 point above the bottom.
        { "sprite", square, false, { { 10, 9, Ink::black }, { 12.9, 3.5, Ink::black }, { 1, 9, Ink::clear }, { 10, 0.5, Ink::clear } } },
        { "sprite, badge", square, true, { { 10, 9, Ink::black }, { 16.5, 3.5, Ink::badge }, { 12.9, 3.5, Ink::clear } } },
    };
    for (auto const& c : cases) {
        MenuBarIcon icon = SpriteStore::menuBarIcon(c.sprite, c.badge);
        EXPECT_EQ(icon.normal.size(), QSize(20, 18));
        ASSERT_EQ(icon.doubled.size(), QSize(40, 36));
        for (auto [x, y, ink] : c.probes) {
            QColor pixel = QColor::fromRgba(icon.doubled.pixel(int(x * 2), int((18 - y) * 2)));
            switch (ink) {
            case Ink::black:
                EXPECT_GT(pixel.alpha(), 200) << c.name << " at " << x << "," << y;
                EXPECT_LT(pixel.red() + pixel.green() + pixel.blue(), 30) << c.name << " at " << x << "," << y;
                break;
            case Ink::badge:
                EXPECT_EQ(pixel, MenuBarIcon::badgeColour()) << c.name << " at " << x << "," << y;
                break;
            case Ink::clear:
                EXPECT_LT(pixel.alpha(), 60) << c.name << " at " << x << "," << y;
                break;
            }
        }
    }
}

namespace {

// Relative luminance contrast, as for text on a background.
double contrast(QColor const& a, QColor const& b)
{
    auto luminance = [](QColor const& c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    double const la = luminance(a);
    double const lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}

TEST(SpriteStore, TheBadgeStandsOutAt24PixelsOnDarkAndLightPanels)
{
    struct Panel {
        char const* name;
        QColor ground;
        QColor text;
    };
    for (auto const& panel : { Panel { "light", QColor(0xf2, 0xf2, 0xf2), Qt::black }, Panel { "dark", QColor(0x1e, 0x1e, 0x1e), Qt::white } }) {
        for (bool const badge : { false, true }) {
            QImage const icon = MenuBarIcon::tinted(SpriteStore::menuBarIconImage(std::nullopt, badge, 2), panel.text);
            // As a tray 24 pixels high shows it.
            QImage shown(27, 24, QImage::Format_ARGB32_Premultiplied);
            shown.fill(panel.ground);
            QPainter painter(&shown);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(0, 0, 27, 24), icon);
            painter.end();
            // The badge's centre, 16.5 × 3.5 points from the lower left.
            QColor const centre = shown.pixelColor(int(16.5 * 24 / 18), int((18 - 3.5) * 24 / 18));
            if (badge) {
                EXPECT_GT(contrast(centre, panel.ground), 3.0) << panel.name;
                EXPECT_GT(contrast(centre, panel.text), 3.0) << panel.name << ": the badge must not read as part of the dog";
            } else {
                EXPECT_LT(contrast(centre, panel.ground), 1.2) << panel.name;
            }
        }
    }
}

TEST(SpriteStore, IconPictureShowsTheIconOnALightAndADarkGround)
{
    TestSupport::TemporaryDirectory folder;
    auto path = folder.path() / "icon.png";
    SpriteStore::writeIconPNG(std::nullopt, path);
    EXPECT_FALSE(std::filesystem::exists(path));

    SpriteStore::writeIconPNG(SpriteStore::menuBarIcon(std::nullopt, false), path);
    QImage picture(QString::fromStdString(path.string()));
    ASSERT_EQ(picture.size(), QSize(352, 96));
    auto at = [&](double x, double yFromTop) { return picture.pixelColor(int(x * 4), int(yFromTop * 4)); };
    EXPECT_NEAR(at(2, 2).redF(), 0.96, 0.01);
    EXPECT_NEAR(at(46, 2).redF(), 0.12, 0.01);
    // The larger oval's centre, (8, 7) from the icon's lower left, on each half.
    EXPECT_LT(at(12 + 8, 3 + 11).red(), 20);
    EXPECT_GT(at(56 + 8, 3 + 11).red(), 235);
}

TEST(SpriteStore, TheGeneratedSpritesLoadWithoutPlaceholders)
{
    std::filesystem::path const folder = std::filesystem::path(PUPNIK_SHARE_DIR) / "Sprites";
    if (!std::filesystem::exists(folder))
        GTEST_SKIP() << "the build has not generated " << folder;
    SpriteStore store(folder);
    ASSERT_TRUE(store.baseURL());
    for (Skin skin : PupnikCore::allSkins)
        for (Clip clip : PupnikCore::allClips) {
            auto frames = store.frames(skin, clip);
            ASSERT_FALSE(frames.empty());
            EXPECT_EQ(int64_t(frames.size()), store.manifest().timing(clip == Clip::sick && !store.manifest().states.contains("sick") ? Clip::hungry : clip).frames)
                << rawValue(skin) << "/" << rawValue(clip);
            for (QImage const& frame : frames)
                EXPECT_EQ(frame.format(), QImage::Format_ARGB32_Premultiplied);
        }
    EXPECT_FALSE(store.usingPlaceholders());
    EXPECT_TRUE(store.frame(Skin::geo, Clip::idle, 0));
}
