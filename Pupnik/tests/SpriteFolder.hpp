#pragma once

#include "PawletKit/tests/TestSupport.hpp"

#include <QColor>
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace Pupnik::Tests {

// A small sprite directory: 8 × 6 frames whose red channel is the frame index × 20, so each frame
// can be told apart after decoding.
struct SpriteFolder {
    TestSupport::TemporaryDirectory folder;
    std::filesystem::path base = folder.path() / "Sprites";

    explicit SpriteFolder(std::map<std::string, int> const& frameCounts)
    {
        nlohmann::json states = nlohmann::json::object();
        for (auto const& [clip, frames] : frameCounts)
            states[clip] = { { "frames", frames }, { "fps", 12 }, { "period", 1 } };
        nlohmann::json manifest {
            { "version", 1 },
            { "box", { { "w", 8 }, { "h", 6 } } },
            { "logicalHeight", 6 },
            { "scale", 1 },
            { "skins", { "soft", "pixel", "ink", "geo" } },
            { "states", states },
            { "facing", "right" },
        };
        TestSupport::writeFile(base / "manifest.json", manifest.dump());
    }

    std::filesystem::path framePath(std::string const& skin, std::string const& clip, int index) const
    {
        char name[16];
        std::snprintf(name, sizeof name, "%02d.png", index);
        return base / skin / clip / name;
    }

    void writeFrames(std::string const& skin, std::string const& clip, int count, int width = 8, int height = 6)
    {
        std::vector<int> reds;
        for (int i = 0; i < count; ++i)
            reds.push_back(i * 20);
        writeFrames(skin, clip, reds, width, height);
    }

    // One frame per red value, in order.
    void writeFrames(std::string const& skin, std::string const& clip, std::vector<int> const& reds, int width = 8, int height = 6)
    {
        for (int i = 0; i < int(reds.size()); ++i) {
            QImage image(width, height, QImage::Format_ARGB32);
            image.fill(QColor(reds[size_t(i)], 100, 50, 255));
            std::filesystem::create_directories(framePath(skin, clip, i).parent_path());
            ASSERT_TRUE(image.save(QString::fromStdString(framePath(skin, clip, i).string()), "PNG"));
        }
    }
};

}
