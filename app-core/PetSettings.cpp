#include "app-core/PetSettings.hpp"

#include "app-core/Language.hpp"

#include <algorithm>
#include <cmath>

namespace PupnikCore {

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

    void saveFiniteOrRemove(Platform::DefaultsStore& store, std::string_view key, std::optional<double> value)
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
    saveFiniteOrRemove(store, Key::x, x);
    saveFiniteOrRemove(store, Key::groundY, groundY);
    store.set(Key::pinned, pinned);
    // A height that is not finite cannot be written into a defaults file, and would keep every
    // later change from reaching it; removed, it loads as the default, as it would anyway.
    saveFiniteOrRemove(store, Key::height, height);
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
