// Frame lookups through the sprite library: a hit is a map lookup under the lock; a miss reads and
// decodes every frame file of the clip (270 × 200 PNGs, as the build draws them).
#include "shared/Drawing/SpriteLibrary.hpp"
#include "shared/SpriteMath.hpp"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace PawletShared;
namespace fs = std::filesystem;

namespace {

constexpr int framesPerClip = 18;

// A folder with three clips of drawn frames and one clip with no files, removed at exit.
class SpriteFolder {
public:
    SpriteFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "sprite-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_root = pattern;
        std::ofstream(m_root / "manifest.json") << R"({"version": 1, "box": {"w": 135, "h": 100}, "logicalHeight": 120,
            "scale": 2, "skins": ["soft"], "facing": "right", "states": {
            "walk": {"frames": 18, "fps": 24, "period": 0.75}, "idle": {"frames": 18, "fps": 24, "period": 0.75},
            "run": {"frames": 18, "fps": 24, "period": 0.75}, "happy": {"frames": 18, "fps": 24, "period": 0.75}}})";
        for (auto clip : { "walk", "idle", "run" }) {
            fs::create_directories(m_root / "soft" / clip);
            for (int index = 0; index < framesPerClip; ++index)
                drawFrame(index).save(QString::fromStdString((m_root / "soft" / clip / SpriteMath::fileName(index)).string()), "PNG");
        }
    }
    ~SpriteFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    fs::path const& root() const { return m_root; }

private:
    static QImage drawFrame(int index)
    {
        QImage image(270, 200, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(190, 140, 90));
        painter.setPen(QPen(QColor(60, 40, 30), 3));
        painter.drawEllipse(QRectF(60, 80 + index % 4, 130, 60));
        painter.drawEllipse(QRectF(170, 50, 60, 50));
        for (int leg = 0; leg < 4; ++leg)
            painter.drawRoundedRect(QRectF(75 + leg * 28 + (index % 6), 130, 14, 50), 6, 6);
        return image;
    }

    fs::path m_root;
};

SpriteFolder const& folder()
{
    static SpriteFolder const shared;
    return shared;
}

void quiet(std::string_view) { }

void BM_FrameLookupHit(benchmark::State& state)
{
    SpriteLibrary library(folder().root(), quiet);
    library.frames(Skin::soft, Clip::walk);
    for (auto _ : state) {
        ClipFrames frames = library.frames(Skin::soft, Clip::walk);
        benchmark::DoNotOptimize(frames.images.data());
    }
}
BENCHMARK(BM_FrameLookupHit);

// Three clips in turn through a cache of two: every lookup decodes a whole clip.
void BM_FrameLookupMiss(benchmark::State& state)
{
    SpriteLibrary library(folder().root(), quiet);
    Clip const clips[] = { Clip::walk, Clip::idle, Clip::run };
    size_t turn = 0;
    for (auto _ : state) {
        ClipFrames frames = library.frames(Skin::soft, clips[turn++ % 3]);
        if (frames.images.size() != framesPerClip)
            state.SkipWithError("frames lost");
        benchmark::DoNotOptimize(frames.images.data());
    }
    state.counters["frames"] = benchmark::Counter(static_cast<double>(state.iterations()) * framesPerClip, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameLookupMiss)->Unit(benchmark::kMillisecond);

// A miss on a clip whose files are all missing (reported once, then only looked for).
void BM_FrameLookupMissMissingFiles(benchmark::State& state)
{
    SpriteLibrary library(folder().root(), quiet);
    Clip const clips[] = { Clip::happy, Clip::poop, Clip::hungry };
    size_t turn = 0;
    for (auto _ : state) {
        ClipFrames frames = library.frames(Skin::soft, clips[turn++ % 3]);
        benchmark::DoNotOptimize(frames.images.data());
    }
}
BENCHMARK(BM_FrameLookupMissMissingFiles)->Unit(benchmark::kMicrosecond);

}
