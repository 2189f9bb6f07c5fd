#include "app-core/PetSettings.hpp"

#include "app-core/Language.hpp"

#include <algorithm>
#include <cmath>

namespace PupnikCore {

bool PetSettings::isHeightPreset(double height)
{
    return std::find(heightPresets.begin(), heightPresets.end(), height) != heightPresets.end();
}

namespace {

std::optional<double> finiteNumber(Platform::DefaultsStore const& store, std::string_view key)
{
    auto value = store.number(key);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

// Something stored that has no Boolean reading (an array, an object) keeps the default.
void loadBoolean(Platform::DefaultsStore const& store, std::string_view key, bool& field)
{
    if (auto value = store.boolean(key))
        field = *value;
}

// Null removes the key: a position or height that is not finite cannot be written into a
// defaults file.
nlohmann::json finiteOrNull(std::optional<double> value)
{
    if (value && std::isfinite(*value))
        return *value;
    return nullptr;
}

}

PetSettings PetSettings::load(Platform::DefaultsStore const& store)
{
    PetSettings settings;
    settings.x = finiteNumber(store, Key::x);
    settings.groundY = finiteNumber(store, Key::groundY);
    loadBoolean(store, Key::pinned, settings.pinned);
    if (auto height = store.number(Key::height); height && isHeightPreset(*height))
        settings.height = *height;
    if (auto raw = store.string(Key::skin))
        settings.skin = skinFromRawValue(*raw).value_or(Skin::soft);
    loadBoolean(store, Key::alwaysOnTop, settings.alwaysOnTop);
    loadBoolean(store, Key::visible, settings.visible);
    loadBoolean(store, Key::sourceCodex, settings.sourceCodex);
    loadBoolean(store, Key::sourceProcess, settings.sourceProcess);
    loadBoolean(store, Key::discreet, settings.discreet);
    loadBoolean(store, Key::syncToDevices, settings.syncToDevices);
    loadBoolean(store, Key::sounds, settings.sounds);
    // The text as the user stored it, so that a later save writes back exactly what was read.
    if (auto code = store.string(Key::language); code && Language::fromCode(*code))
        settings.language = *code;
    return settings;
}

void PetSettings::save(Platform::DefaultsStore& store) const
{
    // One batch, so that a store kept on disk is written once rather than once per key.
    store.apply({
        { std::string(Key::x), finiteOrNull(x) },
        { std::string(Key::groundY), finiteOrNull(groundY) },
        { std::string(Key::pinned), pinned },
        // A height that is not finite would keep every later change from reaching the file;
        // removed, it loads as the default, as it would anyway.
        { std::string(Key::height), finiteOrNull(height) },
        { std::string(Key::skin), std::string(rawValue(skin)) },
        { std::string(Key::alwaysOnTop), alwaysOnTop },
        { std::string(Key::visible), visible },
        { std::string(Key::sourceCodex), sourceCodex },
        { std::string(Key::sourceProcess), sourceProcess },
        { std::string(Key::discreet), discreet },
        { std::string(Key::syncToDevices), syncToDevices },
        { std::string(Key::sounds), sounds },
        { std::string(Key::language), language ? nlohmann::json(*language) : nlohmann::json(nullptr) },
    });
}

}
