#pragma once

#include "shared/TemplateArgument.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace PawletShared {

// Fills printf-style templates that come from translation tables. A template is data, so it is
// never trusted: only the conversions "%@" (string), "%d" "%i" "%ld" "%li" "%lld" "%lli" (integer),
// "%f" with an optional precision such as "%.1f" (float) and "%%" are understood, each optionally
// positional ("%2$@"). Numbers are written without a locale (no grouping, a point as decimal
// separator). A conversion that is malformed, that names an argument past the end, or whose
// argument is of another type is copied into the result as written, so a faulty translation shows
// up as text instead of reading memory it should not.
class TemplateFormatter final {
public:
    enum class ArgumentType {
        string,
        integer,
        floatingPoint,
    };

    // One conversion of a template: which argument it takes (counting from 0) and of what type.
    struct Conversion {
        size_t argument { 0 };
        ArgumentType type { ArgumentType::string };
        bool operator==(Conversion const&) const = default;
    };

    static std::string format(std::string_view templateText, std::vector<TemplateArgument> const& arguments);

    // The conversions of a template in the order they appear; nothing when any part of it is
    // malformed (a lone "%", an unknown conversion, position 0). Lets tables be checked against
    // each other before anything is shown.
    static std::optional<std::vector<Conversion>> conversions(std::string_view templateText);

    // Precision beyond this is not honoured; such a conversion counts as malformed.
    static constexpr int maxPrecision = 17;
    // Positions beyond this are malformed rather than merely missing.
    static constexpr size_t maxPosition = 99;
};

}
