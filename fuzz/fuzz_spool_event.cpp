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
    // Only the data may have been reduced on the way; over the limit only with no data at all.
    if (again->v != event->v || again->ts != event->ts || again->ev != event->ev || again->m != event->m || again->sid != event->sid)
        std::abort();
    if (body.size() >= SpoolEvent::maxLineBytes && !again->data.empty())
        std::abort();
    if (body.size() < SpoolEvent::maxLineBytes && again->jsonLine() != encoded)
        std::abort();
    return 0;
}
