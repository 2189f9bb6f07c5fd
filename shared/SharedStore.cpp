#include "shared/SharedStore.hpp"

#include "platform/FileDefaultsStore.hpp"
#include "platform/MemoryDefaultsStore.hpp"

#include <mutex>

namespace PawletShared {

namespace {

// A snapshot is a few hundred bytes; a stored value far larger is not one of ours.
constexpr size_t maxSnapshotBytes = 1 << 20;

std::mutex& storeLock()
{
    static std::mutex lock;
    return lock;
}

std::shared_ptr<Platform::DefaultsStore>& storeSlot()
{
    static std::shared_ptr<Platform::DefaultsStore> store;
    return store;
}

std::shared_ptr<Platform::DefaultsStore> openGroupSuite()
{
    auto folder = Platform::FileDefaultsStore::defaultFolder(PawletKit::currentEnvironment());
    if (auto opened = Platform::FileDefaultsStore::open(folder, SharedStore::groupIdentifier))
        return std::shared_ptr<Platform::DefaultsStore>(std::move(opened));
    return std::make_shared<Platform::MemoryDefaultsStore>();
}

bool booleanOr(std::string_view key, bool absent)
{
    auto store = SharedStore::defaults();
    if (!store->contains(key))
        return absent;
    return store->boolean(key).value_or(false);
}

}

std::shared_ptr<Platform::DefaultsStore> SharedStore::defaults()
{
    std::lock_guard lock(storeLock());
    auto& store = storeSlot();
    if (!store)
        store = openGroupSuite();
    return store;
}

void SharedStore::setDefaults(std::shared_ptr<Platform::DefaultsStore> store)
{
    std::lock_guard lock(storeLock());
    storeSlot() = std::move(store);
}

bool SharedStore::showDetails() { return booleanOr(Key::showDetails, false); }

void SharedStore::setShowDetails(bool value) { defaults()->set(Key::showDetails, value); }

bool SharedStore::demoMode() { return booleanOr(Key::demoMode, false); }

void SharedStore::setDemoMode(bool value) { defaults()->set(Key::demoMode, value); }

bool SharedStore::haptics() { return booleanOr(Key::haptics, true); }

void SharedStore::setHaptics(bool value) { defaults()->set(Key::haptics, value); }

bool SharedStore::liveActivity() { return booleanOr(Key::liveActivity, true); }

void SharedStore::setLiveActivity(bool value) { defaults()->set(Key::liveActivity, value); }

Skin SharedStore::skin()
{
    auto stored = defaults()->string(Key::skin);
    if (!stored)
        return Skin::soft;
    return skinFromRawValue(*stored).value_or(Skin::soft);
}

void SharedStore::setSkin(Skin skin) { defaults()->set(Key::skin, std::string(rawValue(skin))); }

std::optional<Language> SharedStore::language()
{
    auto stored = defaults()->string(Key::language);
    return stored ? Language::fromCode(*stored) : std::nullopt;
}

void SharedStore::setLanguage(std::optional<Language> language)
{
    if (language)
        defaults()->set(Key::language, std::string(language->rawValue()));
    else
        defaults()->remove(Key::language);
}

void SharedStore::save(PetSnapshot const& snapshot)
{
    std::string encoded;
    try {
        encoded = snapshot.encoded();
    } catch (PetSnapshot::EncodingError const&) {
        return;
    }
    // A JSON suite has no raw data of its own; the snapshot's JSON text is kept as a string.
    defaults()->set(Key::snapshot, std::move(encoded));
}

std::optional<PetSnapshot> SharedStore::load()
{
    auto stored = defaults()->string(Key::snapshot);
    if (!stored || stored->size() > maxSnapshotBytes)
        return std::nullopt;
    try {
        return PetSnapshot::decode(*stored);
    } catch (PetSnapshot::DecodingError const&) {
        return std::nullopt;
    }
}

bool SharedStore::migrateDiscreetReset()
{
    auto store = defaults();
    if (store->contains(Key::discreetResetMigration))
        return false;
    store->set(Key::showDetails, false);
    store->set(Key::discreetResetMigration, true);
    return true;
}

}
