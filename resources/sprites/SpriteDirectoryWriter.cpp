#include "SpriteDirectoryWriter.hpp"

#include "Choreographer.hpp"
#include "SkinRenderer.hpp"

#include <QString>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace SpriteArt {

namespace {

std::string fileName(int frame)
{
    char name[32];
    std::snprintf(name, sizeof name, "%02d.png", frame);
    return name;
}

void save(QImage const& image, std::filesystem::path const& path)
{
    // Fast compression: the build waits on a thousand of these, and they stay small anyway.
    constexpr int quality = 80;
    if (!image.save(QString::fromStdString(path.string()), "PNG", quality))
        throw std::runtime_error("cannot write " + path.string());
}

void saveText(std::string const& text, std::filesystem::path const& path)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

double rounded(double value)
{
    return std::round(value * 100) / 100;
}

}

DogFigure SpriteDirectoryWriter::figure(SkinRenderer const& renderer, ClipSpec const& clip, int frame)
{
    return DogFigure::of(Choreographer::pose(clip, clip.phase(frame)), renderer.smallestStep(), renderer.proportions());
}

QImage SpriteDirectoryWriter::frame(std::string_view skin, ClipSpec const& clip, int frame)
{
    auto const renderer = SkinRenderer::forSkin(skin);
    return renderer->render(figure(*renderer, clip, frame));
}

int SpriteDirectoryWriter::stillFrame(ClipSpec const& clip)
{
    // A moment that tells the clip apart: mid-stride, up in the hop, squatting, looking up from the
    // empty bowl.
    double phase = 0;
    if (clip.name == "run")
        phase = 0.45;
    else if (clip.name == "walk" || clip.name == "stroll" || clip.name == "sick")
        phase = 0.1;
    else if (clip.name == "happy")
        phase = 0.25;
    else if (clip.name == "poop")
        phase = 0.3;
    else if (clip.name == "hungry")
        phase = 0.56;
    return int(std::lround(phase * clip.frames)) % clip.frames;
}

nlohmann::ordered_json SpriteDirectoryWriter::manifest()
{
    nlohmann::ordered_json states = nlohmann::ordered_json::object();
    for (auto const& clip : allClips)
        states[std::string(clip.name)] = { { "frames", clip.frames }, { "fps", clip.fps }, { "period", clip.period } };
    nlohmann::ordered_json skins = nlohmann::ordered_json::array();
    for (auto skin : allSkins)
        skins.push_back(std::string(skin));
    return {
        { "version", 1 },
        { "box", { { "w", boxWidth }, { "h", boxHeight } } },
        { "logicalHeight", 120.0 },
        { "scale", double(frameScale) },
        { "skins", skins },
        { "states", states },
        { "facing", "right" },
    };
}

nlohmann::ordered_json SpriteDirectoryWriter::collar()
{
    // Every skin draws the same skeleton, so the necks differ only where a skin's grid moves it.
    nlohmann::ordered_json anchors = nlohmann::ordered_json::object();
    nlohmann::ordered_json skins = nlohmann::ordered_json::array();
    for (auto skin : allSkins) {
        auto const renderer = SkinRenderer::forSkin(skin);
        nlohmann::ordered_json perClip = nlohmann::ordered_json::object();
        for (auto const& clip : allClips) {
            nlohmann::ordered_json bands = nlohmann::ordered_json::array();
            for (int index = 0; index < clip.frames; ++index) {
                CollarBand const band = figure(*renderer, clip, index).collar;
                bands.push_back({ { "x", rounded(band.x) }, { "y", rounded(band.y) }, { "w", rounded(band.w) },
                    { "h", rounded(band.h) }, { "angle", std::round(band.angle * 1000) / 1000 } });
            }
            perClip[std::string(clip.name)] = bands;
        }
        anchors[std::string(skin)] = perClip;
        skins.push_back(std::string(skin));
    }
    return {
        { "version", 1 },
        { "pixelSize", { { "w", double(frameWidth) }, { "h", double(frameHeight) } } },
        // The tag hangs under the throat end of the band, against the chest.
        { "tag", { { "side", 1.0 }, { "r", 5.5 }, { "along", 0.85 } } },
        { "skins", skins },
        { "anchors", anchors },
    };
}

void SpriteDirectoryWriter::forEach(int count, unsigned threads, std::function<void(int)> const& job)
{
    std::atomic<int> next { 0 };
    std::mutex failureLock;
    std::exception_ptr failure;
    auto work = [&] {
        for (int index = next++; index < count; index = next++) {
            try {
                job(index);
            } catch (...) {
                std::lock_guard lock(failureLock);
                if (!failure)
                    failure = std::current_exception();
            }
        }
    };
    std::vector<std::thread> workers;
    unsigned const extra = std::max(1u, threads) - 1;
    for (unsigned index = 0; index < extra; ++index)
        workers.emplace_back(work);
    work();
    for (auto& worker : workers)
        worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

void SpriteDirectoryWriter::write(std::filesystem::path const& root, unsigned threads)
{
    namespace fs = std::filesystem;
    fs::path const staging = root.string() + ".partial";
    fs::path const previous = root.string() + ".previous";
    fs::remove_all(staging);
    fs::remove_all(previous);
    for (auto skin : allSkins) {
        fs::create_directories(staging / "Stills" / skin);
        for (auto const& clip : allClips)
            fs::create_directories(staging / skin / clip.name);
    }

    // One job per skin and clip; the long clips first so the threads finish together.
    std::vector<std::pair<std::string_view, ClipSpec const*>> jobs;
    for (auto skin : allSkins) {
        for (auto const& clip : allClips)
            jobs.emplace_back(skin, &clip);
    }
    std::stable_sort(jobs.begin(), jobs.end(), [](auto const& a, auto const& b) { return a.second->frames > b.second->frames; });
    forEach(int(jobs.size()), threads, [&](int index) {
        auto const [skin, clip] = jobs[std::size_t(index)];
        auto const renderer = SkinRenderer::forSkin(skin);
        fs::path const folder = staging / skin / clip->name;
        for (int frameIndex = 0; frameIndex < clip->frames; ++frameIndex) {
            QImage const image = renderer->render(figure(*renderer, *clip, frameIndex));
            save(image, folder / fileName(frameIndex));
            if (frameIndex == stillFrame(*clip))
                save(image, staging / "Stills" / skin / (std::string(clip->name) + ".png"));
        }
    });
    saveText(manifest().dump(2) + "\n", staging / "manifest.json");
    saveText(collar().dump() + "\n", staging / "collar.json");

    if (fs::exists(root))
        fs::rename(root, previous);
    fs::rename(staging, root);
    fs::remove_all(previous);
}

}
