#include "app-core/URL.hpp"

#include <algorithm>
#include <string>

namespace PupnikCore {

namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Unreserved, reserved and "%": every byte a URL may hold. Spaces, controls, DEL, non-ASCII and
// "\"<>\\^`{|}" are not among them.
bool isURLCharacter(char c)
{
    if (isAlpha(c) || isDigit(c))
        return true;
    return std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(c) != std::string_view::npos;
}

bool hasValidEscapes(std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))
            return false;
        i += 2;
    }
    return true;
}

bool isValidScheme(std::string_view scheme)
{
    if (scheme.empty() || !isAlpha(scheme.front()))
        return false;
    return std::all_of(scheme.begin(), scheme.end(), [](char c) { return isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.'; });
}

bool hasBrackets(std::string_view text) { return text.find_first_of("[]") != std::string_view::npos; }

// "[userinfo@]host[:port]" with host a registered name or a bracketed IP literal; gives the host.
std::optional<std::string> hostOfAuthority(std::string_view authority)
{
    if (auto at = authority.rfind('@'); at != std::string_view::npos) {
        if (hasBrackets(authority.substr(0, at)))
            return std::nullopt;
        authority.remove_prefix(at + 1);
    }
    std::string_view host;
    std::string_view rest;
    if (!authority.empty() && authority.front() == '[') {
        auto close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = authority.substr(0, close + 1);
        auto literal = host.substr(1, host.size() - 2);
        if (literal.empty() || hasBrackets(literal) || literal.find('@') != std::string_view::npos)
            return std::nullopt;
        rest = authority.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return std::nullopt;
    } else {
        auto colon = authority.find(':');
        host = authority.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
        if (hasBrackets(host))
            return std::nullopt;
    }
    if (!rest.empty() && !std::all_of(rest.begin() + 1, rest.end(), isDigit))
        return std::nullopt;
    return std::string(host);
}

}

std::variant<URL, std::string> URL::read(std::string_view text)
{
    if (text.empty())
        return std::string("it is empty");
    if (text.size() > maxLength)
        return "it is longer than " + std::to_string(maxLength) + " bytes (" + std::to_string(text.size()) + ")";
    if (!std::all_of(text.begin(), text.end(), isURLCharacter))
        return std::string("it holds a space, a control or non-ASCII byte, or a character a URL cannot hold unescaped");
    if (!hasValidEscapes(text))
        return std::string("a percent sign is not followed by two hexadecimal digits");

    auto colon = text.find(':');
    if (colon == std::string_view::npos || !isValidScheme(text.substr(0, colon)))
        return std::string("it has no scheme");

    URL url;
    url.m_text = std::string(text);
    url.m_scheme = std::string(text.substr(0, colon));
    auto rest = text.substr(colon + 1);

    if (auto hash = rest.find('#'); hash != std::string_view::npos) {
        auto fragment = rest.substr(hash + 1);
        if (fragment.find('#') != std::string_view::npos || hasBrackets(fragment))
            return std::string("its fragment holds \"#\", \"[\" or \"]\"");
        url.m_fragment = std::string(fragment);
        rest = rest.substr(0, hash);
    }
    if (auto question = rest.find('?'); question != std::string_view::npos) {
        auto query = rest.substr(question + 1);
        if (hasBrackets(query))
            return std::string("its query holds \"[\" or \"]\"");
        url.m_query = std::string(query);
        rest = rest.substr(0, question);
    }
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        auto slash = rest.find('/');
        auto host = hostOfAuthority(rest.substr(0, slash));
        if (!host)
            return std::string("its host or port is malformed");
        url.m_host = std::move(host);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    if (hasBrackets(rest))
        return std::string("its path holds \"[\" or \"]\"");
    url.m_path = std::string(rest);
    return url;
}

std::optional<URL> URL::parse(std::string_view text)
{
    auto read = URL::read(text);
    if (auto* url = std::get_if<URL>(&read))
        return std::move(*url);
    return std::nullopt;
}

std::optional<std::string> URL::refusal(std::string_view text)
{
    auto read = URL::read(text);
    if (auto* why = std::get_if<std::string>(&read))
        return std::move(*why);
    return std::nullopt;
}

}
