#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace PupnikCore {

// An absolute URL in the generic syntax "scheme:[//authority]path[?query][#fragment]", as it arrives
// from outside (program arguments, the single-instance socket). Parsing refuses whatever is not such a
// URL: no scheme, spaces, control or non-ASCII bytes, characters a URL cannot hold unescaped, broken
// percent escapes, and anything longer than maxLength bytes. Components are kept as written (not
// decoded, scheme not lower-cased).
class URL final {
public:
    // Our own URLs are short commands; this leaves ample room and bounds what a caller can hand in.
    static constexpr size_t maxLength = 8192;

    static std::optional<URL> parse(std::string_view text);
    // Why parse refuses the text, in words for a log line; nothing when it is a URL.
    static std::optional<std::string> refusal(std::string_view text);

    std::string const& absoluteString() const { return m_text; }
    std::string const& scheme() const { return m_scheme; }
    // Present when the URL has an authority ("//..."), possibly empty as in "pupnik:///x".
    std::optional<std::string> const& host() const { return m_host; }
    std::string const& path() const { return m_path; }
    std::optional<std::string> const& query() const { return m_query; }
    std::optional<std::string> const& fragment() const { return m_fragment; }

    bool operator==(URL const&) const = default;

private:
    URL() = default;
    static std::variant<URL, std::string> read(std::string_view text);

    std::string m_text;
    std::string m_scheme;
    std::optional<std::string> m_host;
    std::string m_path;
    std::optional<std::string> m_query;
    std::optional<std::string> m_fragment;
};

}
