#include "app-core/LaunchURLQueue.hpp"

#include "PawletKit/ASCII.hpp"

#include <algorithm>
#include <utility>

namespace PupnikCore {

namespace {

bool hasOurScheme(URL const& url)
{
    return PawletKit::ASCII::equalIgnoringCase(url.scheme(), LaunchURLQueue::scheme);
}

}

std::vector<URL> LaunchURLQueue::accept(std::vector<URL> const& urls)
{
    std::vector<URL> ours;
    std::copy_if(urls.begin(), urls.end(), std::back_inserter(ours), hasOurScheme);
    if (m_isReady)
        return ours;
    for (auto& url : ours) {
        if (m_pending.size() < maxPending)
            m_pending.push_back(std::move(url));
        else
            ++m_dropped;
    }
    return {};
}

std::vector<URL> LaunchURLQueue::acceptTexts(std::span<std::string const> texts)
{
    std::vector<URL> urls;
    for (auto const& text : texts)
        if (auto url = URL::parse(text))
            urls.push_back(std::move(*url));
    return accept(urls);
}

std::vector<URL> LaunchURLQueue::markReady()
{
    m_isReady = true;
    return std::exchange(m_pending, {});
}

}
