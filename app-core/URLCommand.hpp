#pragma once

#include "app-core/Clip.hpp"
#include "app-core/URL.hpp"

#include <optional>
#include <string>
#include <vector>

namespace PupnikCore {

// What one of the application's own URLs asks for. Its command words are the host (absent counts as
// empty) and the path's components, percent escapes decoded, empty words dropped; only the first two
// count. Words compare exactly, case included; only the clip name is lower-cased first.
struct URLCommand {
    enum class Kind {
        // Show the clip until the demo is turned off.
        demo,
        demoOff,
        debugStatus,
        debugCloudStatus,
        debugFocusWaiting,
        // "demo" with a word that names no clip: logged, nothing changes.
        unknownDemoState,
        // Any other first word, or "debug" with another second word: logged, nothing changes.
        unknown,
    };

    Kind kind { Kind::unknown };
    // Set for demo only.
    std::optional<Clip> clip;

    // Nothing for a URL of fewer than two words: it is ignored without a word.
    static std::optional<URLCommand> from(URL const& url);
    static std::vector<std::string> words(URL const& url);

    bool operator==(URLCommand const&) const = default;
};

}
