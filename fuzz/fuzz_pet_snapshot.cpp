// Snapshot bytes come from other machines through the cloud record: reading them either fails
// cleanly or gives a snapshot whose written form reads back to the same written form.
#include "shared/PetSnapshot.hpp"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    using PawletShared::PetSnapshot;
    std::string_view bytes(reinterpret_cast<char const*>(data), size);
    PetSnapshot snapshot;
    try {
        snapshot = PetSnapshot::read(bytes, PawletKit::Date::fromSeconds(1'700'000'000)).snapshot;
    } catch (PetSnapshot::DecodingError const&) {
        return 0;
    }
    (void)snapshot.orderedSources();
    (void)snapshot.totalCount();
    std::string written;
    try {
        written = snapshot.encoded();
    } catch (PetSnapshot::EncodingError const&) {
        // Instants outside the years 0000 to 9999 (reachable through zone offsets) cannot be written.
        return 0;
    }
    try {
        if (PetSnapshot::decode(written).encoded() != written)
            std::abort();
    } catch (std::exception const&) {
        std::abort();
    }
    return 0;
}
