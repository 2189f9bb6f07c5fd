// What the pet costs per animation step: the controller's 60 Hz tick while walking (against a panel
// that only records), drawing one new frame into the 130 × 96 view, and cutting the window to a new
// frame's shape, which happens once per frame seen when no compositor runs.
#include "Pupnik/PetController.hpp"
#include "Pupnik/PetWindow/PetPanel.hpp"
#include "Pupnik/PetWindow/PetView.hpp"
#include "Pupnik/SpriteStore.hpp"
#include "platform/Desktop/FakeScreens.hpp"
#include "platform/ManualScheduler.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>

using namespace Pupnik;

namespace {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "bench_pet_window";
    static char* argv[] = { name, nullptr };
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

class QuietPanel final : public PetSurface {
public:
    QRect frame() const override { return m_frame; }
    void setFrame(QRect const& frame, bool) override { m_frame = frame; }
    void showImage(QImage const& image) override { m_image = image; }
    void setMirrored(bool) override { }
    void setPixelated(bool) override { }
    void setKeptAbove(bool) override { }
    void orderFront() override { }
    void orderOut() override { }
    std::optional<std::string> toolTip() const override { return std::nullopt; }
    void setToolTip(std::optional<std::string> const&) override { }
    uint64_t windowId() const override { return 1; }
    std::optional<QImage> grabWindow() override { return std::nullopt; }
    PetView* view() override { return nullptr; }

private:
    QRect m_frame;
    QImage m_image;
};

void walkingTick(benchmark::State& state)
{
    application();
    Platform::FakeScreens screens(std::vector<Platform::Screens::Screen> { { { 0, 0, 1920, 1080 }, { 0, 40, 1920, 1040 } } });
    Platform::ManualScheduler scheduler;
    Platform::ManualClock clock;
    Platform::MemoryDefaultsStore defaults;
    SpriteStore sprites(std::nullopt);
    PetController pet(sprites, {}, defaults, std::nullopt, std::make_unique<QuietPanel>(), { screens, scheduler, clock });
    pet.apply({ PupnikCore::Clip::walk, 1.0 });
    for (auto _ : state) {
        clock.advance(PetController::tickInterval);
        pet.tick();
    }
}
BENCHMARK(walkingTick);

std::vector<QImage> walkFrames()
{
    application();
    return SpriteStore::placeholderFrames(PupnikCore::Clip::walk, 18, PupnikCore::SpriteManifest::builtIn());
}

void drawNewFrame(benchmark::State& state)
{
    auto frames = walkFrames();
    PetPanel panel;
    panel.setFrame(QRect(0, 0, 130, 96), true);
    PetView& view = *panel.view();
    QImage target(130, 96, QImage::Format_ARGB32_Premultiplied);
    size_t index = 0;
    for (auto _ : state) {
        view.setImage(frames[index++ % frames.size()]);
        target.fill(Qt::transparent);
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(drawNewFrame);

void cutToNewFrame(benchmark::State& state)
{
    auto frames = walkFrames();
    PetPanel panel;
    panel.setFrame(QRect(0, 0, 130, 96), true);
    PetView& view = *panel.view();
    size_t index = 0;
    for (auto _ : state) {
        // A fresh copy each time, so the shape is cut anew rather than found.
        QImage frame = frames[index++ % frames.size()].copy();
        view.setImage(frame);
        benchmark::DoNotOptimize(view.frameShape());
    }
}
BENCHMARK(cutToNewFrame);

}
