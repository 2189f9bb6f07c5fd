#include "app-core/PetSettings.hpp"

#include "app-core/Language.hpp"

#include <algorithm>
#include <cmath>

namespace PupnikCore {

namespace {

std::optional<double> finiteNumber(Platform::DefaultsStore const& store, std::string_view key)
{
    auto value = store.object(key);
    if (!value || !value->is_number())
        return std::nullopt;
    double number = value->get<double>();
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

void loadBoolean(Platform::DefaultsStore const& store, std::string_view key, bool& field)
{
    if (!store.contains(key))
        return;
    field = store.boolean(key).value_or(false);
}

void savePosition(Platform::DefaultsStore& store, std::string_view key, std::optional<double> value)
{
    if (value && std::isfinite(*value))
        store.set(key, *value);
    else
        store.remove(key);
}

}

bool PetSettings::isHeightPreset(double height)
{
    return std::find(heightPresets.begin(), heightPresets.end(), height) != heightPresets.end();
}

PetSettings PetSettings::load(Platform::DefaultsStore const& store)
{
    PetSettings settings;
    settings.x = finiteNumber(store, Key::x);
    settings.groundY = finiteNumber(store, Key::groundY);
    loadBoolean(store, Key::pinned, settings.pinned);
    if (auto height = store.object(Key::height); height && height->is_number() && isHeightPreset(height->get<double>()))
        settings.height = height->get<double>();
    if (auto skin = store.string(Key::skin))
        settings.skin = skinFromRawValue(*skin).value_or(Skin::soft);
    loadBoolean(store, Key::alwaysOnTop, settings.alwaysOnTop);
    loadBoolean(store, Key::visible, settings.visible);
    loadBoolean(store, Key::sourceCodex, settings.sourceCodex);
    loadBoolean(store, Key::sourceProcess, settings.sourceProcess);
    loadBoolean(store, Key::discreet, settings.discreet);
    loadBoolean(store, Key::syncToDevices, settings.syncToDevices);
    loadBoolean(store, Key::sounds, settings.sounds);
    if (auto language = store.string(Key::language); language && Language::fromCode(*language))
        settings.language = *language;
    return settings;
}

void PetSettings::save(Platform::DefaultsStore& store) const
{
    savePosition(store, Key::x, x);
    savePosition(store, Key::groundY, groundY);
    store.set(Key::pinned, pinned);
    store.set(Key::height, height);
    store.set(Key::skin, std::string(rawValue(skin)));
    store.set(Key::alwaysOnTop, alwaysOnTop);
    store.set(Key::visible, visible);
    store.set(Key::sourceCodex, sourceCodex);
    store.set(Key::sourceProcess, sourceProcess);
    store.set(Key::discreet, discreet);
    store.set(Key::syncToDevices, syncToDevices);
    store.set(Key::sounds, sounds);
    if (language)
        store.set(Key::language, *language);
    else
        store.remove(Key::language);
}

}
