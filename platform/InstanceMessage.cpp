#include "platform/InstanceMessage.hpp"

namespace Platform {

bool InstanceMessage::isSoundURL(std::string_view url)
{
    if (url.empty())
        return false;
    for (unsigned char byte : url) {
        if (byte <= 0x20 || byte == 0x7f)
            return false;
    }
    return true;
}

std::optional<std::string> InstanceMessage::encode(std::vector<std::string> const& urls)
{
    if (urls.size() > maxURLs)
        return std::nullopt;
    std::string message(header);
    for (auto const& url : urls) {
        if (!isSoundURL(url))
            return std::nullopt;
        message += url;
        message += '\n';
    }
    message += '\n';
    if (message.size() > maxBytes)
        return std::nullopt;
    return message;
}

InstanceMessage::Decoded InstanceMessage::decode(std::string_view received)
{
    if (received.size() > maxBytes)
        return { {}, Problem::tooLarge };
    if (received.size() < header.size())
        return { {}, header.starts_with(received) ? Problem::incomplete : Problem::malformed };
    if (!received.starts_with(header))
        return { {}, Problem::malformed };

    std::vector<std::string> urls;
    size_t start = header.size();
    while (true) {
        auto const end = received.find('\n', start);
        if (end == std::string_view::npos) {
            // A line still arriving counts towards the bound of URLs already.
            if (start < received.size() && urls.size() == maxURLs)
                return { {}, Problem::tooManyURLs };
            return { {}, Problem::incomplete };
        }
        auto const line = received.substr(start, end - start);
        if (line.empty()) {
            if (end + 1 != received.size())
                return { {}, Problem::malformed };
            return { std::move(urls), std::nullopt };
        }
        if (urls.size() == maxURLs)
            return { {}, Problem::tooManyURLs };
        if (!isSoundURL(line))
            return { {}, Problem::malformed };
        urls.emplace_back(line);
        start = end + 1;
    }
}

std::string_view InstanceMessage::describe(Problem problem)
{
    switch (problem) {
    case Problem::incomplete:
        return "the message ended early";
    case Problem::tooLarge:
        return "the message is larger than 64 KiB";
    case Problem::tooManyURLs:
        return "more than 64 URLs";
    case Problem::malformed:
        return "the message is malformed";
    }
    return "the message is malformed";
}

std::string InstanceMessage::refusal(Problem problem) { return "refused: " + std::string(describe(problem)) + "\n"; }

}
