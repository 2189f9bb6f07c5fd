#include "app-core/URLCommand.hpp"

#include <algorithm>

namespace PupnikCore {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c - 'A' + 10;
}

// The parser has checked every escape already.
std::string percentDecoded(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            decoded.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            decoded.push_back(text[i]);
        }
    }
    return decoded;
}

std::string lowercased(std::string text)
{
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    return text;
}

}

std::vector<std::string> URLCommand::words(URL const& url)
{
    std::vector<std::string> words;
    words.push_back(percentDecoded(url.host().value_or("")));
    std::string_view path = url.path();
    while (!path.empty()) {
        auto const slash = path.find('/');
        words.push_back(percentDecoded(path.substr(0, slash)));
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    std::erase_if(words, [](std::string const& word) { return word.empty(); });
    return words;
}

std::optional<URLCommand> URLCommand::from(URL const& url)
{
    auto const words = URLCommand::words(url);
    if (words.size() < 2)
        return std::nullopt;
    auto const& first = words[0];
    auto const& second = words[1];
    if (first == "demo") {
        if (second == "off")
            return URLCommand { Kind::demoOff, std::nullopt };
        if (auto clip = clipFromRawValue(lowercased(second)))
            return URLCommand { Kind::demo, clip };
        return URLCommand { Kind::unknownDemoState, std::nullopt };
    }
    if (first == "debug") {
        if (second == "status")
            return URLCommand { Kind::debugStatus, std::nullopt };
        if (second == "cloud-status")
            return URLCommand { Kind::debugCloudStatus, std::nullopt };
        if (second == "focus-waiting")
            return URLCommand { Kind::debugFocusWaiting, std::nullopt };
    }
    return URLCommand { Kind::unknown, std::nullopt };
}

}
