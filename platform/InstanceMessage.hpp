#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

// What a later start sends the running application: a header line, one URL per line, an empty
// line at the end. The running side answers one line: "ok" or "refused: " and the reason. Both
// sides keep to the same bounds, so no sender can make the application hold or store much.
class InstanceMessage final {
public:
    static constexpr size_t maxBytes = 64 * 1024;
    static constexpr size_t maxURLs = 64;
    static constexpr std::string_view header = "pupnik-urls 1\n";
    static constexpr std::string_view accepted = "ok\n";

    enum class Problem {
        // Nothing wrong yet, the end has not arrived.
        incomplete,
        tooLarge,
        tooManyURLs,
        malformed,
    };

    struct Decoded {
        std::vector<std::string> urls;
        // Nothing when the message is complete and sound; the URLs are only set then.
        std::optional<Problem> problem;
    };

    // The message for these URLs; nothing when they break a bound or one is empty or holds a
    // space or control character (it could not come back as the same line).
    static std::optional<std::string> encode(std::vector<std::string> const& urls);
    // Reads what has arrived so far. A message breaking a bound is refused as soon as that shows,
    // without waiting for its end.
    static Decoded decode(std::string_view received);
    static bool isSoundURL(std::string_view url);

    static std::string_view describe(Problem problem);
    // The answer line for a refused message.
    static std::string refusal(Problem problem);
};

}
