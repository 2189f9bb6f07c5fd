#include "app-core/Focus/TerminalPaths.hpp"

#include "PawletKit/CharacterSets.hpp"
#include "PawletKit/Text.hpp"

namespace PupnikCore::TerminalPaths {

namespace {

std::optional<int> hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

// The decoded path of a file URL; nothing when an escape is broken or the result is not UTF-8.
std::optional<std::string> fileURLPath(std::string_view url)
{
    constexpr std::string_view scheme = "file://";
    std::string_view rest = url.substr(scheme.size());
    size_t pathStart = rest.find('/');
    if (pathStart == std::string_view::npos)
        return std::string();
    std::string_view encoded = rest.substr(pathStart);
    encoded = encoded.substr(0, encoded.find_first_of("?#"));
    std::string decoded;
    decoded.reserve(encoded.size());
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '%') {
            decoded += encoded[i];
            continue;
        }
        if (i + 2 >= encoded.size())
            return std::nullopt;
        auto high = hexDigit(encoded[i + 1]);
        auto low = hexDigit(encoded[i + 2]);
        if (!high || !low)
            return std::nullopt;
        decoded += static_cast<char>(*high * 16 + *low);
        i += 2;
    }
    if (!PawletKit::Text::isValidUTF8(decoded))
        return std::nullopt;
    return decoded;
}

}

std::optional<std::string> sanitizeCwd(std::optional<std::string_view> cwd)
{
    if (!cwd)
        return std::nullopt;
    std::string_view trimmed = PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(*cwd);
    if (trimmed.empty() || trimmed.front() != '/')
        return std::nullopt;
    if (trimmed.find('\0') != std::string_view::npos || trimmed.find('\n') != std::string_view::npos)
        return std::nullopt;
    if (PawletKit::Text::characterCount(trimmed) > maxCharacters)
        return std::nullopt;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.remove_suffix(1);
    return std::string(trimmed);
}

std::optional<std::string> basename(std::optional<std::string_view> cwd)
{
    auto path = sanitizeCwd(cwd);
    if (!path)
        return std::nullopt;
    // Trailing slashes are gone, so the last piece is the one after the last slash.
    size_t slash = path->rfind('/');
    std::string last = path->substr(slash + 1);
    if (last.empty())
        return std::nullopt;
    return last;
}

std::optional<std::string> documentPath(std::optional<std::string_view> document)
{
    if (!document)
        return std::nullopt;
    std::string_view trimmed = PawletKit::CharacterSets::trimmingWhitespaceAndNewlines(*document);
    if (trimmed.empty())
        return std::nullopt;
    if (trimmed.front() == '/')
        return sanitizeCwd(trimmed);
    if (trimmed.starts_with("file://")) {
        auto path = fileURLPath(trimmed);
        if (!path)
            return std::nullopt;
        return sanitizeCwd(*path);
    }
    return std::nullopt;
}

}
