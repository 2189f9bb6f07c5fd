#pragma once

#include <string>

namespace Pupnik {

// The version and build number this program was built as, for the About box.
struct BuildInfo {
    static constexpr char const* fallbackVersion = "0.1.0";
    static constexpr char const* fallbackBuild = "1";

    std::string version;
    std::string build;

    // From the build; the fallbacks stand in for values the build did not give.
    static BuildInfo current();

    bool operator==(BuildInfo const&) const = default;
};

}
