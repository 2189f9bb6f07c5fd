#include "PawletKit/tests/TestSupport.hpp"
#include "shared/Drawing/SpriteLibrary.hpp"
#include "shared/Drawing/StillFrames.hpp"
#include "shared/SpriteMath.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <mutex>
#include <sys/stat.h>
#include <thread>

using namespace PawletShared;
namespace fs = std::filesystem;

namespace {

// Frame i of every clip is a small image whose red channel is 10 × i, so order can be read back.
void writeFrame(fs::path const& path, int index)
{
    fs::create_directories(path.parent_path());
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(qRgba(10 * index, 40, 80, 255));
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "PNG")) << path;
}

void writeClip(fs::path const& root, std::string_view skin, std::string_view clip, int count)
{
    for (int index = 0; index < count; ++index)
        writeFrame(root / skin / clip / SpriteMath::fileName(index), index);
}

std::vector<int> frameNumbers(ClipFrames const& frames)
{
    std::vector<int> numbers;
    for (QImage const& image : frames.images)
        numbers.push_back(qRed(image.pixel(0, 0)) / 10);
    return numbers;
}

std::string manifestWith(std::string const& states)
{
    return R"({"version": 1, "box": {"w": 135, "h": 100}, "logicalHeight": 120, "scale": 2,
        "skins": ["soft"], "facing": "right", "states": {)"
        + states + "}}";
}

std::string const collar = R"({"version": 1, "pixelSize": {"w": 270, "h": 200}, "tag": {"side": 1, "r": 5, "along": 0.5},
    "skins": ["soft"], "anchors": {"soft": {"walk": [{"x": 1, "y": 2, "w": 3, "h": 4, "angle": 0}]}}})";

class SpriteLibraryTest : public ::testing::Test {
protected:
    SpriteLibrary::LogSink sink()
    {
        return [this](std::string_view line) {
            std::lock_guard guard(m_linesLock);
            m_lines.emplace_back(line);
        };
    }

    std::vector<std::string> takeLines()
    {
        std::lock_guard guard(m_linesLock);
        return std::exchange(m_lines, {});
    }

    fs::path const& root() const { return m_folder.path(); }

private:
    TestSupport::TemporaryDirectory m_folder;
    std::mutex m_linesLock;
    std::vector<std::string> m_lines;
};

}

TEST_F(SpriteLibraryTest, MissingSkinsFallBackToTheFirstPresentOne)
{
    TestSupport::writeFile(root() / "manifest.json", manifestWith(R"("walk": {"frames": 3, "fps": 8, "period": 0.4})"));
    writeClip(root(), "soft", "walk", 3);
    writeClip(root(), "geo", "walk", 2);
    SpriteLibrary library(root(), sink());

    EXPECT_EQ(library.availableSkins(), (std::vector<Skin> { Skin::soft, Skin::geo }));
    struct Case {
        Skin asked, served;
    } const cases[] = {
        { Skin::soft, Skin::soft },
        { Skin::pixel, Skin::soft },
        { Skin::ink, Skin::soft },
        { Skin::geo, Skin::geo },
    };
    for (auto const& c : cases)
        EXPECT_EQ(library.resolvedSkin(c.asked), c.served) << rawValue(c.asked);

    ClipFrames ink = library.frames(Skin::ink, Clip::walk);
    EXPECT_EQ(ink.skin, Skin::soft);
    EXPECT_EQ(ink.clip, Clip::walk);
    EXPECT_EQ(ink.fps, 8);
    EXPECT_EQ(frameNumbers(ink), (std::vector<int> { 0, 1, 2 }));
    EXPECT_TRUE(takeLines().empty());

    // A skin present without all its frames serves what it has, and says which are missing.
    ClipFrames geo = library.frames(Skin::geo, Clip::walk);
    EXPECT_EQ(geo.skin, Skin::geo);
    EXPECT_EQ(frameNumbers(geo), (std::vector<int> { 0, 1 }));
    EXPECT_EQ(takeLines(), (std::vector<std::string> { "sprites: missing sprite frame " + (root() / "geo/walk/02.png").string() }));

    EXPECT_EQ(library.frameURL(Skin::pixel, Clip::walk, 7), root() / "pixel" / "walk" / "07.png");
    EXPECT_EQ(library.frameURL(Skin::ink, Clip::run, 123), root() / "ink" / "run" / "123.png");
}

TEST_F(SpriteLibraryTest, NoSkinFolderAtAllLooksUnderTheAskedSkin)
{
    SpriteLibrary library(root(), sink());
    EXPECT_TRUE(library.availableSkins().empty());
    EXPECT_EQ(library.manifest(), SpriteManifest::builtIn());
    EXPECT_FALSE(library.collarAnchors());

    ClipFrames run = library.frames(Skin::pixel, Clip::run);
    EXPECT_EQ(run.skin, Skin::pixel);
    EXPECT_TRUE(run.images.empty());
    EXPECT_EQ(run.fps, 24);
    std::vector<std::string> expected;
    for (int index = 0; index < 10; ++index)
        expected.push_back("sprites: missing sprite frame " + (root() / "pixel/run" / SpriteMath::fileName(index)).string());
    EXPECT_EQ(takeLines(), expected);

    // Served from the cache; and once evicted and read again, the paths are not reported twice.
    library.frames(Skin::pixel, Clip::run);
    library.frames(Skin::pixel, Clip::walk);
    library.frames(Skin::pixel, Clip::idle);
    takeLines();
    EXPECT_TRUE(library.frames(Skin::pixel, Clip::run).images.empty());
    EXPECT_TRUE(takeLines().empty());
}

TEST_F(SpriteLibraryTest, HoldsTwoClipsAndEvictsTheOneLoadedFirst)
{
    TestSupport::writeFile(root() / "manifest.json",
        manifestWith(R"("walk": {"frames": 2, "fps": 8, "period": 0.25}, "idle": {"frames": 2, "fps": 8, "period": 0.25},
                        "run": {"frames": 2, "fps": 8, "period": 0.25})"));
    for (auto clip : { "walk", "idle", "run" })
        writeClip(root(), "soft", clip, 2);
    SpriteLibrary library(root(), sink());

    // What the cache holds shows once the files are gone: a hit still has the frames.
    EXPECT_EQ(library.frames(Skin::soft, Clip::walk).images.size(), 2u);
    EXPECT_EQ(library.frames(Skin::soft, Clip::idle).images.size(), 2u);
    fs::remove_all(root() / "soft" / "walk");
    fs::remove_all(root() / "soft" / "idle");
    EXPECT_EQ(library.frames(Skin::soft, Clip::walk).images.size(), 2u) << "third call is a hit";
    EXPECT_EQ(library.frames(Skin::soft, Clip::run).images.size(), 2u);
    // walk went, although asked for after idle.
    EXPECT_EQ(library.frames(Skin::soft, Clip::idle).images.size(), 2u) << "idle still held";
    EXPECT_TRUE(takeLines().empty());
    EXPECT_TRUE(library.frames(Skin::soft, Clip::walk).images.empty()) << "walk read again";
    EXPECT_EQ(takeLines().size(), 2u);
}

TEST_F(SpriteLibraryTest, LeavesOutFramesThatCannotBeReadAndReportsEachOnce)
{
    TestSupport::writeFile(root() / "manifest.json", manifestWith(R"("hungry": {"frames": 6, "fps": 12, "period": 0.5},
        "walk": {"frames": 1, "fps": 8, "period": 0.1}, "run": {"frames": 1, "fps": 8, "period": 0.1})"));
    writeClip(root(), "soft", "hungry", 6);
    writeClip(root(), "soft", "walk", 1);
    writeClip(root(), "soft", "run", 1);
    fs::path const clip = root() / "soft" / "hungry";
    fs::remove(clip / "03.png");
    TestSupport::writeFile(clip / "01.png", "not a picture");
    // A FIFO in place of a frame must not hold the library (and every thread waiting on it) forever.
    fs::remove(clip / "04.png");
    ASSERT_EQ(::mkfifo((clip / "04.png").c_str(), 0600), 0);
    SpriteLibrary library(root(), sink());

    ClipFrames hungry = library.frames(Skin::soft, Clip::hungry);
    EXPECT_EQ(frameNumbers(hungry), (std::vector<int> { 0, 2, 5 }));
    std::vector<std::string> expected;
    for (auto name : { "01.png", "03.png", "04.png" })
        expected.push_back("sprites: missing sprite frame " + (clip / name).string());
    EXPECT_EQ(takeLines(), expected);

    library.frames(Skin::soft, Clip::walk);
    library.frames(Skin::soft, Clip::run);
    EXPECT_EQ(frameNumbers(library.frames(Skin::soft, Clip::hungry)), (std::vector<int> { 0, 2, 5 }));
    EXPECT_TRUE(takeLines().empty());
}

TEST_F(SpriteLibraryTest, FrameCountsComeFromTheManifestOrTheBuiltInOne)
{
    struct Case {
        std::string name;
        std::optional<std::string> manifest;
        Clip clip;
        size_t images;
        size_t missing;
        double fps;
    } const cases[] = {
        { "no manifest", std::nullopt, Clip::run, 4, 6, 24 },
        { "invalid manifest", "{\"version\": 1}", Clip::run, 4, 6, 24 },
        { "zero frames", manifestWith(R"("run": {"frames": 0, "fps": 30, "period": 1})"), Clip::run, 0, 0, 30 },
        { "negative frames", manifestWith(R"("run": {"frames": -5, "fps": 30, "period": 1})"), Clip::run, 0, 0, 30 },
        { "fewer frames than files", manifestWith(R"("run": {"frames": 2, "fps": 30, "period": 1})"), Clip::run, 2, 0, 30 },
        { "clip the manifest leaves out", manifestWith(R"("walk": {"frames": 2, "fps": 30, "period": 1})"), Clip::run, 4, 6, 24 },
    };
    for (auto const& c : cases) {
        TestSupport::TemporaryDirectory folder;
        if (c.manifest)
            TestSupport::writeFile(folder.path() / "manifest.json", *c.manifest);
        writeClip(folder.path(), "soft", "run", 4);
        std::vector<std::string> lines;
        SpriteLibrary library(folder.path(), [&](std::string_view line) { lines.emplace_back(line); });
        ClipFrames frames = library.frames(Skin::soft, Clip::run);
        EXPECT_EQ(frames.images.size(), c.images) << c.name;
        EXPECT_EQ(lines.size(), c.missing) << c.name;
        EXPECT_EQ(frames.fps, c.fps) << c.name;
    }
}

TEST_F(SpriteLibraryTest, ConcurrentLookupsLoadEachFrameConsistently)
{
    TestSupport::writeFile(root() / "manifest.json",
        manifestWith(R"("walk": {"frames": 3, "fps": 8, "period": 0.4}, "idle": {"frames": 4, "fps": 8, "period": 0.5},
                        "run": {"frames": 5, "fps": 8, "period": 0.6})"));
    writeClip(root(), "soft", "walk", 3);
    writeClip(root(), "soft", "idle", 3);
    writeClip(root(), "soft", "run", 5);
    SpriteLibrary library(root(), sink());

    std::vector<std::thread> threads;
    std::atomic<int> wrong { 0 };
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            Clip const clips[] = { Clip::walk, Clip::idle, Clip::run };
            for (int i = 0; i < 60; ++i) {
                Clip clip = clips[(i + t) % 3];
                auto frames = library.frames(Skin::soft, clip);
                size_t expected = clip == Clip::walk ? 3 : clip == Clip::idle ? 3
                                                                              : 5;
                if (frames.clip != clip || frames.images.size() != expected)
                    ++wrong;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(takeLines(), (std::vector<std::string> { "sprites: missing sprite frame " + (root() / "soft/idle/03.png").string() }));
}

TEST_F(SpriteLibraryTest, BundleLookupAndCollarAnchors)
{
    TestSupport::writeFile(root() / "Sprites" / "manifest.json", "not json");
    TestSupport::writeFile(root() / "Sprites" / "collar.json", collar);
    fs::create_directories(root() / "Empty" / "soft");
    TestSupport::writeFile(root() / "Odd" / "manifest.json", manifestWith(""));
    TestSupport::writeFile(root() / "Odd" / "collar.json", "{\"version\": 1}");

    auto library = SpriteLibrary::fromBundle(root(), "Sprites", sink());
    ASSERT_TRUE(library);
    EXPECT_EQ(library->root(), root() / "Sprites");
    EXPECT_EQ(library->manifest(), SpriteManifest::builtIn());
    ASSERT_TRUE(library->collarAnchors());
    EXPECT_TRUE(library->collarAnchors()->anchor(Skin::soft, Clip::walk, 4));
    EXPECT_EQ(SpriteLibrary::collarAnchors(root(), "Sprites"), library->collarAnchors());

    EXPECT_FALSE(SpriteLibrary::fromBundle(root(), "Empty"));
    EXPECT_FALSE(SpriteLibrary::fromBundle(root(), "Absent"));
    auto odd = SpriteLibrary::fromBundle(root(), "Odd", sink());
    ASSERT_TRUE(odd);
    EXPECT_TRUE(odd->manifest().states.empty());
    EXPECT_FALSE(odd->collarAnchors());
    EXPECT_FALSE(SpriteLibrary::collarAnchors(root(), "Odd"));
}

TEST(StillFrames, FindsAndDecodesStills)
{
    TestSupport::TemporaryDirectory folder;
    writeFrame(folder.path() / "Stills" / "ink" / "happy.png", 7);
    TestSupport::writeFile(folder.path() / "Stills" / "ink" / "poop.png", "no picture");

    EXPECT_EQ(StillFrames::url(Skin::ink, Clip::happy, folder.path(), "Stills"), folder.path() / "Stills/ink/happy.png");
    EXPECT_FALSE(StillFrames::url(Skin::soft, Clip::happy, folder.path(), "Stills"));
    EXPECT_FALSE(StillFrames::url(Skin::ink, Clip::happy, folder.path(), "Other"));

    auto image = StillFrames::image(Skin::ink, Clip::happy, folder.path());
    ASSERT_TRUE(image);
    EXPECT_EQ(qRed(image->pixel(0, 0)), 70);
    EXPECT_FALSE(StillFrames::image(Skin::ink, Clip::poop, folder.path()));
    EXPECT_FALSE(StillFrames::image(Skin::geo, Clip::happy, folder.path()));
}
