// Salvaging top-level strings from arbitrary bytes never fails and keeps its bounds.
#include "PawletKit/JSON.hpp"
#include "PawletKit/LenientJSON.hpp"
#include "PawletKit/Text.hpp"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<char const*>(data), size);
    auto const& keys = PawletKit::LenientJSON::defaultKeys();
    PawletKit::JSON::Value salvaged = PawletKit::LenientJSON::extractStrings(bytes, keys);

    if (!salvaged.is_object())
        std::abort();
    for (auto it = salvaged.begin(); it != salvaged.end(); ++it) {
        if (!keys.contains(it.key()) || !it->is_string())
            std::abort();
        auto const& value = it->get_ref<std::string const&>();
        if (!PawletKit::Text::isValidUTF8(value) || PawletKit::Text::characterCount(value) > PawletKit::LenientJSON::maxValueCharacters)
            std::abort();
    }
    if (!PawletKit::JSON::serialize(salvaged))
        std::abort();
    return 0;
}
