// A text from outside read as a URL, then handed to the launch queue as arguments would be.
#include "app-core/LaunchURLQueue.hpp"
#include "app-core/URL.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace PupnikCore;

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    std::string_view text(reinterpret_cast<char const*>(data), size);
    if (auto url = URL::parse(text)) {
        if (url->absoluteString() != text || text.size() > URL::maxLength)
            std::abort();
        for (unsigned char c : text)
            if (c <= 0x20 || c >= 0x7f)
                std::abort();
        if (url->scheme().empty() || !text.starts_with(url->scheme() + ":"))
            std::abort();
        if (url->path().find_first_of("?#") != std::string::npos)
            std::abort();
        if (url->query() && url->query()->find('#') != std::string::npos)
            std::abort();
        if (url->host() && url->host()->find_first_of("/?#@") != std::string::npos)
            std::abort();
        if (URL::parse(url->absoluteString()) != url)
            std::abort();
    }

    // Each line an argument: the queue never holds more than its limit and loses nothing uncounted.
    std::vector<std::string> arguments;
    for (size_t start = 0; start <= text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        arguments.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    LaunchURLQueue queue;
    queue.acceptTexts(arguments);
    queue.acceptTexts(arguments);
    if (queue.pending().size() > LaunchURLQueue::maxPending)
        std::abort();
    if (queue.dropped() > 0 && queue.pending().size() != LaunchURLQueue::maxPending)
        std::abort();
    auto released = queue.markReady();
    if (!queue.pending().empty() || released.size() > LaunchURLQueue::maxPending)
        std::abort();
    return 0;
}
