#pragma once

#include "app-core/URL.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace PupnikCore {

// Holds the application's own URLs that arrive before launch has finished, when nothing exists yet to
// handle them, and lets them through once it has. URLs of any other scheme are turned away silently.
class LaunchURLQueue final {
public:
    static constexpr std::string_view scheme = "pupnik";
    static constexpr size_t maxPending = 32;

    bool isReady() const { return m_isReady; }
    // Oldest first; never more than maxPending.
    std::vector<URL> const& pending() const { return m_pending; }
    // The application's URLs turned away because the queue was full; it only grows.
    int64_t dropped() const { return m_dropped; }

    // The URLs to handle now, in their order: before launch has finished none (they wait, or are
    // counted as dropped once maxPending wait), afterwards the application's URLs of the batch.
    std::vector<URL> accept(std::vector<URL> const& urls);
    // The same for texts as they arrive from outside; a text that is not a URL counts as a URL of
    // another scheme.
    std::vector<URL> acceptTexts(std::span<std::string const> texts);
    // Launch has finished: the waiting URLs in arrival order, once.
    std::vector<URL> markReady();

    bool operator==(LaunchURLQueue const&) const = default;

private:
    bool m_isReady { false };
    std::vector<URL> m_pending;
    int64_t m_dropped { 0 };
};

}
