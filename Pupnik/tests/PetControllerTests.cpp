#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/PetController.hpp"
#include "Pupnik/PetWindow/PetClickReceiver.hpp"
#include "Pupnik/tests/SpriteFolder.hpp"
#include "app-core/Localized.hpp"
#include "platform/Desktop/FakeScreens.hpp"
#include "platform/ManualScheduler.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <QImage>
#include <QMouseEvent>
#include <algorithm>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace Pupnik;
using PupnikCore::Clip;
using PupnikCore::ClipChoice;
using PupnikCore::PetSettings;

namespace {

// Records what the controller asks of the window.
class FakePanel final : public PetSurface {
public:
    QRect frame() const override { return m_frame; }
    void setFrame(QRect const& frame, bool redisplay) override
    {
        m_frame = frame;
        ++frameChanges;
        if (redisplay)
            ++redisplays;
    }
    void showImage(QImage const& image) override
    {
        shown = image;
        ++imagesShown;
    }
    void setMirrored(bool value) override
    {
        mirrored = value;
        ++mirrorChanges;
    }
    void setPixelated(bool value) override { pixelated = value; }
    void loadFrames(std::vector<QImage> const& frames) override { loaded.push_back(frames.front().cacheKey()); }
    void releaseFrames(std::vector<QImage> const& frames) override { released.push_back(frames.front().cacheKey()); }
    void setKeptAbove(bool value) override { keptAbove = value; }
    void orderFront() override { visible = true; }
    void orderOut() override { visible = false; }
    std::optional<std::string> toolTip() const override { return tip; }
    void setToolTip(std::optional<std::string> const& text) override
    {
        tip = text;
        ++tipChanges;
    }
    uint64_t windowId() const override { return id; }
    std::optional<QImage> grabWindow() override
    {
        QImage image(m_frame.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        return image;
    }
    PetView* view() override { return nullptr; }

    QRect m_frame;
    QImage shown;
    // The first frame's cache key of each clip loaded and let go.
    std::vector<qint64> loaded;
    std::vector<qint64> released;
    int frameChanges = 0;
    int redisplays = 0;
    int imagesShown = 0;
    bool mirrored = false;
    int mirrorChanges = 0;
    bool pixelated = false;
    bool keptAbove = true;
    bool visible = false;
    std::optional<std::string> tip;
    int tipChanges = 0;
    uint64_t id = 42;
};

// Counts how often the pet's place is written.
class CountingDefaults final : public Platform::DefaultsStore {
public:
    std::optional<nlohmann::json> object(std::string_view key) const override { return store.object(key); }
    void set(std::string_view key, nlohmann::json value) override
    {
        if (key == PetSettings::Key::x)
            ++positionSaves;
        store.set(key, std::move(value));
    }
    void remove(std::string_view key) override { store.remove(key); }

    Platform::MemoryDefaultsStore store;
    int positionSaves = 0;
};

// A manual scheduler that counts how often its timers wake the pet.
class CountingScheduler final : public Platform::Scheduler {
public:
    std::unique_ptr<Platform::ScheduledWork> repeating(double interval, std::function<void()> work) override
    {
        ++made;
        return manual.repeating(interval, counted(std::move(work)));
    }
    std::unique_ptr<Platform::ScheduledWork> after(double delay, std::function<void()> work) override
    {
        ++made;
        return manual.after(delay, counted(std::move(work)));
    }
    void post(std::function<void()> work) override { manual.post(std::move(work)); }
    void advance(double seconds) { manual.advance(seconds); }
    size_t activeTimers() const { return manual.activeTimers(); }

    Platform::ManualScheduler manual;
    int firings = 0;
    // Timers made, as against re-armed.
    int made = 0;

private:
    std::function<void()> counted(std::function<void()> work)
    {
        return [this, work = std::move(work)] {
            ++firings;
            work();
        };
    }
};

// One 1280 × 800 screen with a 30-point panel at the bottom; placeholders, whose aspect is 1.35.
// Counts the clicks the pet's view hands on.
struct ClickCounter final : PetClickReceiver {
    int clicks = 0;
    int rightClicks = 0;

    void petClicked(QMouseEvent const&) override { ++clicks; }
    void petRightClicked(QMouseEvent const&) override { ++rightClicks; }
};

struct PetFixture {
    Platform::FakeScreens screens { { { { 0, 0, 1280, 800 }, { 0, 30, 1280, 770 } } } };
    CountingScheduler scheduler;
    Platform::ManualClock clock { 1'800'000'000, 5000 };
    CountingDefaults defaults;
    SpriteStore sprites { std::nullopt };
    FakePanel* panel = nullptr;
    std::unique_ptr<PetController> pet;

    explicit PetFixture(PetSettings settings = {}, std::optional<std::filesystem::path> frameFile = std::nullopt,
        std::optional<std::filesystem::path> spriteFolder = std::nullopt)
        : sprites(std::move(spriteFolder))
    {
        auto owned = std::make_unique<FakePanel>();
        panel = owned.get();
        pet = std::make_unique<PetController>(sprites, settings, defaults, frameFile, std::move(owned),
            PetController::Environment { screens, scheduler, clock });
    }

    // Moves the clock and runs one tick, as the timer would after a pause of that length.
    void tickAfter(double seconds)
    {
        clock.advance(seconds);
        pet->tick();
    }

    // Runs the real timer for a while, one tick per 1/60 s.
    void run(double seconds)
    {
        int ticks = int(seconds * 60 + 0.5);
        for (int i = 0; i < ticks; ++i) {
            clock.advance(PetController::tickInterval);
            scheduler.advance(PetController::tickInterval);
        }
    }

    // The panel's frame in the pet's bottom-left coordinates.
    Platform::ScreenRect panelFrame() const { return screens.fromTopLeft(panel->frame()); }
};

PetSettings placedAt(double x, double groundY)
{
    PetSettings settings;
    settings.x = x;
    settings.groundY = groundY;
    return settings;
}

}

TEST(PetController, StartsAQuarterAcrossOnTheBottomOfTheVisibleFrame)
{
    PetFixture f;
    auto const& roamer = f.pet->roamer();
    EXPECT_EQ(roamer.width, 130);
    EXPECT_EQ(roamer.height, 96);
    EXPECT_EQ(roamer.x, 320);
    EXPECT_EQ(roamer.groundY, 30);
    EXPECT_EQ(roamer.facing, 1);
    EXPECT_EQ(f.panel->frame(), QRect(320, 800 - 30 - 96, 130, 96));
    EXPECT_TRUE(f.panel->visible);
    EXPECT_FALSE(f.panel->mirrored);
    EXPECT_EQ(f.pet->choice(), (ClipChoice { Clip::idle, 1.0 }));
    EXPECT_EQ(f.pet->lastFrameIndex(), 0);
    EXPECT_EQ(f.scheduler.activeTimers(), 1u);
    // Starting saves nothing.
    EXPECT_EQ(f.defaults.positionSaves, 0);
}

TEST(PetController, ASavedPlaceOffScreenIsClampedAndSettingsShapeTheWindow)
{
    PetSettings settings = placedAt(5000, -200);
    settings.alwaysOnTop = false;
    settings.visible = false;
    settings.skin = PupnikCore::Skin::pixel;
    settings.height = 128;
    PetFixture f(settings);
    EXPECT_EQ(f.pet->roamer().width, 173);
    EXPECT_EQ(f.pet->roamer().x, 1280 - 173);
    EXPECT_EQ(f.pet->roamer().groundY, 30);
    EXPECT_FALSE(f.panel->keptAbove);
    EXPECT_FALSE(f.panel->visible);
    EXPECT_TRUE(f.panel->pixelated);
}

TEST(PetController, WalkingClipsMoveAtTheirSpeedsAndTheOthersAnimateInPlace)
{
    struct Case {
        Clip clip;
        double speed;
    };
    Case const cases[] {
        { Clip::run, 140 },
        { Clip::walk, 45 },
        { Clip::stroll, 18 },
        { Clip::idle, 0 },
        { Clip::hungry, 0 },
        { Clip::happy, 0 },
        { Clip::poop, 0 },
        { Clip::sick, 0 },
    };
    for (auto const& c : cases) {
        PetFixture f(placedAt(100, 30));
        f.pet->apply({ c.clip, 1.0 });
        double const phase = f.pet->phase();
        f.tickAfter(0.2);
        EXPECT_NEAR(f.pet->roamer().x, 100 + c.speed * 0.2, 1e-6) << rawValue(c.clip);
        EXPECT_NEAR(f.pet->phase(), phase + 0.2 * f.sprites.fps(c.clip), 1e-6) << rawValue(c.clip);
        EXPECT_EQ(f.panelFrame().x, std::round(100 + c.speed * 0.2)) << rawValue(c.clip);
    }
}

TEST(PetController, AStallAdvancesAQuarterSecondAndANonPositiveStepNothing)
{
    PetFixture f(placedAt(100, 30));
    f.pet->apply({ Clip::run, 2.0 });
    f.tickAfter(5);
    EXPECT_NEAR(f.pet->roamer().x, 135, 1e-6);
    EXPECT_NEAR(f.pet->phase(), 0.25 * 24 * 2.0, 1e-6);

    PetFixture g(placedAt(100, 30));
    g.pet->apply({ Clip::run, 1.0 });
    g.tickAfter(0);
    EXPECT_EQ(g.pet->roamer().x, 100);
    EXPECT_EQ(g.pet->phase(), 0);
}

TEST(PetController, PinnedDraggedOrPausedPetsAnimateButStay)
{
    enum class Hold { pinned,
        dragging,
        paused };
    for (Hold hold : { Hold::pinned, Hold::dragging, Hold::paused }) {
        PetSettings settings = placedAt(100, 30);
        settings.pinned = hold == Hold::pinned;
        PetFixture f(settings);
        if (hold == Hold::dragging)
            f.panel->onDragBegan();
        f.pet->movementPaused = hold == Hold::paused;
        f.pet->apply({ Clip::run, 1.0 });
        f.tickAfter(0.2);
        EXPECT_EQ(f.pet->roamer().x, 100) << int(hold);
        EXPECT_GT(f.pet->phase(), 0) << int(hold);
    }
}

TEST(PetController, AnInvisiblePetNeitherAdvancesNorJumpsWhenShownAgain)
{
    PetFixture f(placedAt(100, 30));
    f.pet->apply({ Clip::walk, 1.0 });
    f.pet->setVisible(false);
    EXPECT_FALSE(f.panel->visible);
    f.run(3);
    EXPECT_EQ(f.pet->roamer().x, 100);
    EXPECT_EQ(f.pet->phase(), 0);
    f.pet->setVisible(true);
    f.tickAfter(0.1);
    EXPECT_NEAR(f.pet->roamer().x, 104.5, 1e-6);
}

TEST(PetController, TurnsAtTheEdgeOfTheVisibleFrameAndMirrorsOnlyThen)
{
    PetFixture f(placedAt(1280 - 130 - 10, 30));
    f.pet->apply({ Clip::run, 1.0 });
    int const mirrorChanges = f.panel->mirrorChanges;
    f.tickAfter(0.05);
    EXPECT_EQ(f.pet->roamer().facing, 1);
    EXPECT_EQ(f.panel->mirrorChanges, mirrorChanges);
    f.tickAfter(0.05);
    EXPECT_EQ(f.pet->roamer().facing, -1);
    EXPECT_TRUE(f.panel->mirrored);
    EXPECT_EQ(f.panel->mirrorChanges, mirrorChanges + 1);
    // 7 + 7 points from 10 before the edge: turned at the edge and back 4.
    EXPECT_NEAR(f.pet->roamer().x, 1280 - 130 - 4, 1e-6);
}

TEST(PetController, WalkingMovesTheWindowWithoutRepaintingAndSavesAtMostEveryTwoSeconds)
{
    PetFixture f(placedAt(100, 30));
    f.pet->apply({ Clip::walk, 1.0 });
    int const imagesBefore = f.panel->imagesShown;
    int const redisplaysBefore = f.panel->redisplays;
    double const phaseBefore = f.pet->phase();
    int const movesBefore = f.panel->frameChanges;
    f.run(5);
    EXPECT_EQ(f.panel->redisplays, redisplaysBefore);
    // One picture per frame reached, not one per tick, and the window moves with each of them.
    int const framesReached = int(f.pet->phase()) - int(phaseBefore);
    EXPECT_GT(framesReached, 100);
    EXPECT_LE(f.panel->imagesShown - imagesBefore, framesReached + 1);
    EXPECT_GE(f.panel->frameChanges - movesBefore, framesReached - 1);
    EXPECT_LE(f.panel->frameChanges - movesBefore, framesReached + 1);
    // The first walking tick saves at once, then every 2 s: at 0, about 2 and about 4 seconds.
    EXPECT_EQ(f.defaults.positionSaves, 3);
    EXPECT_EQ(f.defaults.store.number("pet.x"), f.pet->settings().x);
}

TEST(PetController, AStandingPetWakesOnlyWhenItsNextFrameIsDueAndStartsWalkingWithoutAJump)
{
    PetFixture f(placedAt(100, 30));
    // The clock follows the timers closely, as it does on a real desktop.
    auto runFinely = [&](double seconds) {
        double const step = 1e-4;
        for (int i = 0; i < int(seconds / step + 0.5); ++i) {
            f.clock.advance(step);
            f.scheduler.advance(step);
        }
    };
    double const fps = f.sprites.fps(Clip::idle);
    int64_t const count = int64_t(f.pet->frames().size());
    ASSERT_GT(count, 1);
    int const imagesBefore = f.panel->imagesShown;
    double const standing = 2.01;
    runFinely(standing);
    int const framesReached = int(standing * fps);
    EXPECT_EQ(f.pet->lastFrameIndex(), framesReached % count);
    EXPECT_EQ(f.panel->imagesShown - imagesBefore, framesReached);
    // About one wake-up per frame instead of 60 a second.
    EXPECT_LE(f.scheduler.firings, framesReached + 2);
    EXPECT_EQ(f.scheduler.activeTimers(), 1u);

    // Walking wakes once per frame too and moves with it, measured from the switch, not from the
    // last frame: the distance walked is the time its frames have taken.
    f.pet->apply({ Clip::walk, 1.0 });
    int const firingsBefore = f.scheduler.firings;
    double const walkFps = f.sprites.fps(Clip::walk);
    double const phaseAtSwitch = f.pet->phase();
    int const framesAtSwitch = int(phaseAtSwitch);
    runFinely(1.00005);
    int const walkFrames = int(f.pet->phase()) - framesAtSwitch;
    EXPECT_NEAR(walkFrames, walkFps, 1);
    EXPECT_NEAR(f.pet->roamer().x, 100 + 45 * (f.pet->phase() - phaseAtSwitch) / walkFps, 0.01);
    EXPECT_GT(f.pet->roamer().x, 100 + 45 - 45 / walkFps - 0.01);
    EXPECT_LE(f.scheduler.firings - firingsBefore, walkFrames + 1);
    EXPECT_EQ(f.scheduler.activeTimers(), 1u);
}

// A start shows the first frame before the rest of the clip is decoded, then reads a frame a tick;
// a rate that comes meanwhile holds once the clip is whole, and a clip whose files break off ends
// in placeholders as a whole read would.
TEST(PetController, AStartShowsTheFirstFrameBeforeTheClipIsRead)
{
    struct Case {
        char const* what;
        int files;
        bool placeholders;
    };
    Case const cases[] = { { "all frames", 6, false }, { "frames missing after the first", 2, true } };
    for (auto const& c : cases) {
        Tests::SpriteFolder folder({ { "idle", 6 } });
        std::vector<int> shades { 0, 20, 40, 60, 80, 100 };
        shades.resize(size_t(c.files));
        folder.writeFrames("soft", "idle", shades);
        PetFixture f(placedAt(100, 30), std::nullopt, folder.base);
        EXPECT_FALSE(f.sprites.isCached(PupnikCore::Skin::soft, Clip::idle)) << c.what;
        EXPECT_TRUE(f.pet->frames().empty()) << c.what;
        ASSERT_GE(f.panel->imagesShown, 1) << c.what;
        QImage const first = f.panel->shown;
        EXPECT_EQ(first.pixelColor(first.width() / 2, first.height() / 2), SpriteStore::loadPNG(folder.base / "soft" / "idle" / "00.png")->pixelColor(first.width() / 2, first.height() / 2)) << c.what;
        f.pet->applyIfChanged({ Clip::idle, 0.5 });
        f.run(0.5);
        ASSERT_EQ(f.pet->frames().size(), 6u) << c.what;
        EXPECT_TRUE(f.sprites.isCached(PupnikCore::Skin::soft, Clip::idle)) << c.what;
        EXPECT_EQ(f.sprites.usingPlaceholders(), c.placeholders) << c.what;
        EXPECT_EQ(f.pet->choice().rate, 0.5) << c.what;
        if (!c.placeholders) {
            EXPECT_EQ(f.pet->frames().front().cacheKey(), first.cacheKey()) << c.what;
        }
    }
}

TEST(PetController, AStandingPetSleepsThroughFramesThatRepeatOnOneReArmedTimer)
{
    // An idle clip at 12 frames a second whose pictures repeat.
    Tests::SpriteFolder folder({ { "idle", 6 } });
    folder.writeFrames("soft", "idle", std::vector<int> { 0, 0, 0, 20, 20, 40 });
    PetFixture f(placedAt(100, 30), std::nullopt, folder.base);
    // The clip whole, without the ticks that read it at the start.
    f.pet->apply({ Clip::idle, 1.0 });
    ASSERT_FALSE(f.sprites.usingPlaceholders());
    auto const& frames = f.pet->frames();
    ASSERT_EQ(frames.size(), 6u);
    int const madeBefore = f.scheduler.made;
    int const firingsBefore = f.scheduler.firings;
    // Two turns of the clip, the clock close behind the timers; the picture is checked on the way.
    double const step = 1e-4;
    double elapsed = 0;
    int wrongPictures = 0;
    for (int i = 0; i < int(1.0 / step + 0.5); ++i) {
        f.clock.advance(step);
        f.scheduler.advance(step);
        elapsed += step;
        // Just after each frame falls due, the panel shows the picture of that frame.
        double const intoFrame = elapsed * 12 - std::floor(elapsed * 12);
        if (intoFrame > 0.05 && intoFrame < 0.06 && f.panel->shown.cacheKey() != frames[size_t(int64_t(elapsed * 12) % 6)].cacheKey())
            ++wrongPictures;
    }
    EXPECT_EQ(wrongPictures, 0);
    // Three pictures a turn (0, 20, 40) instead of six frames: a wake-up for each change, with one
    // to spare for the rounding of the clock.
    // The first picture was shown by the apply itself.
    EXPECT_LE(f.scheduler.firings - firingsBefore, 2 * 3 + 1);
    EXPECT_GE(f.scheduler.firings - firingsBefore, 2 * 3 - 1);
    // And the one timer is re-armed each time rather than made anew.
    EXPECT_EQ(f.scheduler.made, madeBefore);
    EXPECT_EQ(f.scheduler.activeTimers(), 1u);
}

TEST(PetController, AClipSwitchKeepsThePhase)
{
    PetFixture f;
    f.pet->apply({ Clip::run, 1.0 });
    // 10 run frames at 24 fps: 0.975 s is phase 23.4, run frame 3.
    f.tickAfter(0.2);
    f.tickAfter(0.2);
    f.tickAfter(0.2);
    f.tickAfter(0.2);
    f.tickAfter(0.175);
    EXPECT_NEAR(f.pet->phase(), 23.4, 1e-9);
    EXPECT_EQ(f.pet->lastFrameIndex(), 3);
    f.pet->apply({ Clip::idle, 1.0 });
    EXPECT_EQ(f.pet->lastFrameIndex(), 23);
    EXPECT_EQ(f.panel->shown.cacheKey(), f.pet->frames()[23].cacheKey());
}

TEST(PetController, ThePhaseStaysBoundedWithoutChangingTheFrame)
{
    PetFixture f;
    f.pet->apply({ Clip::run, 1e6 });
    for (int i = 0; i < 20; ++i)
        f.tickAfter(0.25);
    EXPECT_LT(f.pet->phase(), 10);
    // A rate that is not a number leaves the phase alone.
    double const phase = f.pet->phase();
    f.pet->apply({ Clip::idle, std::nan("") });
    f.tickAfter(0.1);
    EXPECT_EQ(f.pet->phase(), phase);
}

TEST(PetController, TheTooltipAnnouncesAWaitingAgentUnlessDiscreet)
{
    struct Case {
        bool discreet;
        bool waiting;
        bool approval;
        std::optional<std::string> tip;
    };
    Case const cases[] {
        { false, false, true, std::nullopt },
        { false, true, false, "pet.tooltip.waiting" },
        { false, true, true, "pet.tooltip.approval" },
        { true, true, true, std::nullopt },
    };
    for (auto const& c : cases) {
        PetSettings settings;
        settings.discreet = c.discreet;
        PetFixture f(settings);
        f.pet->updateTooltip(c.waiting, c.approval);
        // The texts themselves come from the localiser; the key is what tells them apart here.
        if (c.tip)
            EXPECT_EQ(f.panel->tip, PupnikCore::localized(*c.tip));
        else
            EXPECT_EQ(f.panel->tip, std::nullopt);
        int const changes = f.panel->tipChanges;
        f.pet->updateTooltip(c.waiting, c.approval);
        EXPECT_EQ(f.panel->tipChanges, changes);
    }
}

TEST(PetController, OnlyPresetHeightsAreTakenAndTheCentreStays)
{
    PetFixture f(placedAt(200, 30));
    f.pet->setHeight(100);
    EXPECT_EQ(f.pet->roamer().height, 96);
    EXPECT_EQ(f.defaults.positionSaves, 0);
    EXPECT_FALSE(f.defaults.store.contains("pet.height"));

    f.pet->setHeight(128);
    EXPECT_EQ(f.pet->roamer().width, 173);
    EXPECT_EQ(f.pet->roamer().height, 128);
    EXPECT_NEAR(f.pet->roamer().x, 200 + (130 - 173) / 2.0, 1e-6);
    EXPECT_EQ(f.pet->roamer().groundY, 30);
    EXPECT_EQ(f.panel->frame().size(), QSize(173, 128));
    EXPECT_EQ(f.defaults.store.number("pet.height"), 128);
}

TEST(PetController, SettersApplyAndSave)
{
    PetFixture f;
    f.pet->setAlwaysOnTop(false);
    EXPECT_FALSE(f.panel->keptAbove);
    EXPECT_EQ(f.defaults.store.boolean("pet.alwaysOnTop"), false);

    f.pet->apply({ Clip::happy, 1.0 });
    f.pet->setSkin(PupnikCore::Skin::pixel);
    EXPECT_TRUE(f.panel->pixelated);
    EXPECT_EQ(f.defaults.store.string("pet.skin"), "pixel");
    EXPECT_EQ(f.sprites.cachedKeys().back(), "pixel/happy");
    f.pet->setSkin(PupnikCore::Skin::ink);
    EXPECT_FALSE(f.panel->pixelated);

    f.pet->setLanguage(PupnikCore::Language::ptBR);
    EXPECT_EQ(f.defaults.store.string("pet.language"), "pt-BR");
    f.pet->setLanguage(std::nullopt);
    EXPECT_FALSE(f.defaults.store.contains("pet.language"));
    // Every save carries the position too.
    EXPECT_EQ(f.defaults.store.number("pet.x"), 320);
}

TEST(PetController, ADroppedPetStaysWhereItWasDroppedInsideTheScreen)
{
    struct Case {
        QRect dropped;
        double x;
        double groundY;
    };
    Case const cases[] {
        // Qt's y 400 is 400 − 96 = 304 above the screen's bottom.
        { QRect(500, 400, 130, 96), 500, 304 },
        { QRect(-60, 400, 130, 96), 0, 304 },
        { QRect(1200, 790, 130, 96), 1150, 30 },
    };
    for (auto const& c : cases) {
        PetFixture f;
        f.panel->onDragBegan();
        EXPECT_TRUE(f.pet->isDragging());
        f.panel->m_frame = c.dropped;
        f.panel->onDragEnded(c.dropped);
        EXPECT_FALSE(f.pet->isDragging());
        EXPECT_EQ(f.pet->roamer().x, c.x);
        EXPECT_EQ(f.pet->roamer().groundY, c.groundY);
        EXPECT_EQ(f.panelFrame(), (Platform::ScreenRect { c.x, c.groundY, 130, 96 }));
        EXPECT_EQ(f.defaults.store.number("pet.groundY"), c.groundY);
    }
}

TEST(PetController, APetWhoseScreenGoesAwayMovesOntoAScreenThatRemains)
{
    Platform::Screens::Screen const left { { 0, 0, 1280, 800 }, { 0, 30, 1280, 770 } };
    Platform::Screens::Screen const right { { 1280, 0, 1000, 700 }, { 1280, 0, 1000, 700 } };
    struct Case {
        char const* name;
        std::vector<Platform::Screens::Screen> after;
        double x;
        double groundY;
    };
    Case const cases[] {
        { "right screen unplugged: onto the main one", { left }, 1280 - 130, 400 },
        { "right screen shrinks, still holding the centre", { left, { { 1280, 0, 800, 450 }, { 1280, 0, 800, 450 } } }, 1800, 450 - 96 },
        { "right screen shrinks below the centre, still overlapping", { left, { { 1280, 0, 800, 420 }, { 1280, 0, 800, 420 } } }, 1800,
            420 - 96 },
    };
    for (auto const& c : cases) {
        PetFixture f;
        f.screens.change({ left, right });
        f.panel->onDragEnded(f.screens.toTopLeft({ 1800, 400, 130, 96 }));
        ASSERT_EQ(f.pet->roamer().x, 1800) << c.name;
        f.screens.change(c.after);
        EXPECT_EQ(f.pet->roamer().x, c.x) << c.name;
        EXPECT_EQ(f.pet->roamer().groundY, c.groundY) << c.name;
        EXPECT_EQ(f.panelFrame(), (Platform::ScreenRect { c.x, c.groundY, 130, 96 })) << c.name;
    }
}

TEST(PetController, WithoutAnyScreenAFixedFrameStandsIn)
{
    Platform::FakeScreens none;
    Platform::ManualScheduler scheduler;
    Platform::ManualClock clock;
    Platform::MemoryDefaultsStore defaults;
    SpriteStore sprites(std::nullopt);
    auto pet = PetController(sprites, {}, defaults, std::nullopt, std::make_unique<FakePanel>(),
        PetController::Environment { none, scheduler, clock });
    EXPECT_EQ(pet.roamer().x, 360);
    EXPECT_EQ(pet.roamer().groundY, 0);
}

TEST(PetController, TheFrameLineFollowsThePetAtMostTenTimesASecond)
{
    TestSupport::TemporaryDirectory folder;
    auto file = folder.path() / "frame.txt";
    PetFixture f(placedAt(100, 30), file);
    EXPECT_EQ(TestSupport::readFile(file), "100,674,130,96 facing=1 clip=idle\n");
    f.pet->apply({ Clip::walk, 1.0 });
    EXPECT_EQ(TestSupport::readFile(file), "100,674,130,96 facing=1 clip=walk\n");
    // 45 points a second: 0.06 s after the last write the line waits, 0.12 s after it is rewritten.
    f.tickAfter(0.06);
    EXPECT_EQ(TestSupport::readFile(file), "100,674,130,96 facing=1 clip=walk\n");
    f.tickAfter(0.06);
    EXPECT_EQ(TestSupport::readFile(file), "105,674,130,96 facing=1 clip=walk\n");
}

TEST(PetController, ASnapshotWritesPicturesAndAReport)
{
    TestSupport::TemporaryDirectory folder;
    PetFixture f(placedAt(100, 30));
    f.pet->apply({ Clip::walk, 0.5 });
    f.pet->writeSnapshot(folder.path() / "snaps", "pet-1");
    for (char const* name : { "pet-1-window.png", "pet-1-desktop.png", "pet-1-screen.png" })
        EXPECT_TRUE(std::filesystem::exists(folder.path() / "snaps" / name)) << name;
    QImage desktop(QString::fromStdString((folder.path() / "snaps" / "pet-1-desktop.png").string()));
    EXPECT_EQ(desktop.size(), QSize(130 + 80, 96 + 48));
    std::string report = TestSupport::readFile(folder.path() / "snaps" / "pet-1.txt");
    EXPECT_NE(report.find("frame=100,30,130,96 facing=1 clip=walk rate=0.50\n"), std::string::npos) << report;

    f.panel->id = 0;
    testing::internal::CaptureStderr();
    f.pet->writeSnapshot(folder.path() / "other", "pet-2");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Pupnik] snapshot: window has no id\n");
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "other"));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "other" / "pet-2.txt"));
}

TEST(PetController, ClicksReachTheOwnerAndDroppingThePetStopsItsTimer)
{
    PetFixture f;
    ClickCounter counter;
    f.pet->setClickReceiver(&counter);
    QMouseEvent event(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    ASSERT_EQ(f.panel->clickReceiver(), &counter);
    f.panel->clickReceiver()->petClicked(event);
    f.panel->clickReceiver()->petRightClicked(event);
    EXPECT_EQ(counter.clicks, 1);
    EXPECT_EQ(counter.rightClicks, 1);
    f.pet.reset();
    EXPECT_EQ(f.scheduler.activeTimers(), 0u);
    f.screens.change({});
}

TEST(PetController, TheWindowLetsGoOfAClipWhenItLeavesTheStoreButNotWhileItShowsIt)
{
    PetFixture f;
    auto firstKey = [&] { return f.pet->frames().front().cacheKey(); };
    qint64 const idle = firstKey();
    f.pet->apply({ Clip::walk, 1.0 });
    qint64 const walk = firstKey();
    f.pet->apply({ Clip::run, 1.0 });
    EXPECT_TRUE(f.panel->released.empty());
    // A fourth clip pushes the least recently used, idle, out of the store's three.
    f.pet->apply({ Clip::happy, 1.0 });
    EXPECT_EQ(f.panel->released, std::vector<qint64> { idle });
    EXPECT_EQ(f.panel->loaded.back(), firstKey());

    // The clip shown is pushed out by the store's own use: kept until the pet shows another.
    qint64 const happy = firstKey();
    for (Clip other : { Clip::poop, Clip::hungry, Clip::stroll })
        f.sprites.frames(f.pet->settings().skin, other);
    EXPECT_EQ(std::count(f.panel->released.begin(), f.panel->released.end(), happy), 0);
    EXPECT_EQ(std::count(f.panel->released.begin(), f.panel->released.end(), walk), 1);
    f.pet->apply({ Clip::idle, 1.0 });
    EXPECT_EQ(std::count(f.panel->released.begin(), f.panel->released.end(), happy), 1);
}
