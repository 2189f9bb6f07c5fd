#pragma once

#include "app-core/URL.hpp"

#include <vector>

namespace Pupnik {

class DebugReports;
class DemoPlayer;

// Runs the commands of the application's own URLs, in order: the demo ones through the demo player,
// the debug ones through the debug reports. Unknown commands are logged and change nothing; a URL of
// fewer than two words is ignored.
class URLCommandHandler final {
public:
    URLCommandHandler(DemoPlayer& demo, DebugReports& debugReports);

    void handle(std::vector<PupnikCore::URL> const& urls) const;

private:
    DemoPlayer& m_demo;
    DebugReports& m_debugReports;
};

}
