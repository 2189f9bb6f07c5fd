// One line of the event file, decoded as the reader does, then encoded again as the writer would.
#include "PawletKit/JSON.hpp"
#include "PawletKit/SpoolEvent.hpp"
#include "PawletKit/SpoolReader.hpp"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace PawletKit;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    std::string_view line(reinterpret_cast<char const*>(data), size);
    auto event = SpoolReader::decodeLine(line);
    if (!event)
        return 0;

    std::string encoded = event->jsonLine();
    if (encoded.empty() || encoded.back() != '\n' || encoded.find('\n') != encoded.size() - 1)
        std::abort();
    std::string_view body(encoded.data(), encoded.size() - 1);
    if (body == SpoolEvent::fallbackLine)
        return 0;

    auto again = SpoolReader::decodeLine(body);
    if (!again)
        std::abort();
    // No line but the fallback reaches the limit, so the reader may take a longer tail for a broken line.
    if (body.size() >= SpoolEvent::maxLineBytes)
        std::abort();
    // The data may have been reduced on the way; the other fields only cut, when even no data was too long.
    auto isCutFrom = [](std::optional<std::string> const& cut, std::optional<std::string> const& whole) {
        return cut == whole || !cut || (whole && whole->starts_with(*cut));
    };
    if (again->v != event->v || again->ts != event->ts || !isCutFrom(again->m, event->m) || !isCutFrom(again->sid, event->sid)
        || !(isCutFrom(again->ev, event->ev) || again->ev == "invalid"))
        std::abort();
    if (again->jsonLine() != encoded)
        std::abort();
    return 0;
}
