#include "shared/CollarAnchors.hpp"

#include "shared/DecodingError.hpp"
#include "shared/ResourceFile.hpp"
#include "shared/StrictJSON.hpp"

namespace PawletShared {

using StrictJSON::Value;

std::optional<CollarAnchor> CollarAnchors::anchor(Skin skin, Clip clip, int64_t frame) const
{
    return anchor(rawValue(skin), rawValue(clip), frame);
}

std::optional<CollarAnchor> CollarAnchors::anchor(std::string_view skin, std::string_view clip, int64_t frame) const
{
    auto clips = anchors.find(std::string(skin));
    if (clips == anchors.end())
        return std::nullopt;
    auto list = clips->second.find(std::string(clip));
    if (list == clips->second.end() || list->second.empty())
        return std::nullopt;
    auto index = static_cast<size_t>(frame < 0 ? 0 : frame) % list->second.size();
    return list->second[index];
}

CollarAnchors CollarAnchors::load(std::filesystem::path const& url)
{
    return decode(ResourceFile::read(url, maxFileBytes));
}

CollarAnchors CollarAnchors::decode(std::string_view bytes)
{
    Value root = StrictJSON::parseObject(bytes);
    CollarAnchors file;
    file.version = StrictJSON::integer(root, "version", "");
    Value const& pixelSize = StrictJSON::object(root, "pixelSize", "");
    file.pixelSize.w = StrictJSON::number(pixelSize, "w", "pixelSize");
    file.pixelSize.h = StrictJSON::number(pixelSize, "h", "pixelSize");
    Value const& tag = StrictJSON::object(root, "tag", "");
    file.tag.side = StrictJSON::number(tag, "side", "tag");
    file.tag.r = StrictJSON::number(tag, "r", "tag");
    file.tag.along = StrictJSON::number(tag, "along", "tag");
    file.skins = StrictJSON::strings(root, "skins", "");
    Value const& skins = StrictJSON::object(root, "anchors", "");
    for (auto const& skinItem : skins.items()) {
        std::string const skinPath = "anchors." + skinItem.key();
        if (!skinItem.value().is_object())
            throw DecodingError(skinPath + ": not an object");
        ClipAnchors& clipAnchors = file.anchors[skinItem.key()];
        for (auto const& clipItem : skinItem.value().items()) {
            std::string const clipPath = skinPath + "." + clipItem.key();
            Value const& list = clipItem.value();
            if (!list.is_array())
                throw DecodingError(clipPath + ": not an array");
            std::vector<CollarAnchor>& frames = clipAnchors[clipItem.key()];
            frames.reserve(list.size());
            for (size_t index = 0; index < list.size(); ++index) {
                std::string const path = clipPath + "[" + std::to_string(index) + "]";
                Value const& entry = list[index];
                if (!entry.is_object())
                    throw DecodingError(path + ": not an object");
                frames.push_back({
                    StrictJSON::number(entry, "x", path),
                    StrictJSON::number(entry, "y", path),
                    StrictJSON::number(entry, "w", path),
                    StrictJSON::number(entry, "h", path),
                    StrictJSON::number(entry, "angle", path),
                });
            }
        }
    }
    return file;
}

Value CollarAnchors::jsonObject() const
{
    Value anchorsValue = Value::object();
    for (auto const& [skin, clips] : anchors) {
        Value clipsValue = Value::object();
        for (auto const& [clip, list] : clips) {
            Value frames = Value::array();
            for (CollarAnchor const& anchor : list)
                frames.push_back({ { "x", anchor.x }, { "y", anchor.y }, { "w", anchor.w }, { "h", anchor.h }, { "angle", anchor.angle } });
            clipsValue[clip] = std::move(frames);
        }
        anchorsValue[skin] = std::move(clipsValue);
    }
    return Value {
        { "version", version },
        { "pixelSize", { { "w", pixelSize.w }, { "h", pixelSize.h } } },
        { "tag", { { "side", tag.side }, { "r", tag.r }, { "along", tag.along } } },
        { "skins", skins },
        { "anchors", std::move(anchorsValue) },
    };
}

}
