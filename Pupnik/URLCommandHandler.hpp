#pragma once

#include "app-core/Clip.hpp"
#include "app-core/URL.hpp"

#include <functional>
#include <vector>

namespace Pupnik {

// Runs the commands of the application's own URLs, in order, through the delegate's operations.
// Unknown commands are logged and change nothing; a URL of fewer than two words is ignored.
struct URLCommandHandler {
    std::function<void(PupnikCore::Clip)> playDemo;
    std::function<void()> stopDemo;
    std::function<void()> debugStatus;
    std::function<void()> reportCloudStatus;
    std::function<void()> focusWaiting;

    void handle(std::vector<PupnikCore::URL> const& urls) const;
};

}
