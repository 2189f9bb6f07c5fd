#include "Pupnik/InstanceHandOver.hpp"

#include "PawletKit/ASCII.hpp"
#include "PawletKit/Text.hpp"
#include "app-core/LaunchURLQueue.hpp"
#include "app-core/URL.hpp"
#include "platform/InstanceClient.hpp"
#include "platform/InstanceMessage.hpp"
#include "platform/InstanceSocket.hpp"
#include "platform/Log.hpp"

#include <unistd.h>

namespace Pupnik::InstanceHandOver {

namespace {

constexpr size_t loggedURLCharacters = 120;

bool hasOwnScheme(std::string_view argument)
{
    auto const scheme = PupnikCore::LaunchURLQueue::scheme;
    return argument.size() > scheme.size() && argument[scheme.size()] == ':'
        && PawletKit::ASCII::lowercased(argument.substr(0, scheme.size())) == scheme;
}

void logRefused(std::string_view url, std::string_view why)
{
    Platform::Log::line("url: refused " + PawletKit::Text::prefix(url, loggedURLCharacters) + (url.size() > loggedURLCharacters ? "…" : "") + ": "
        + std::string(why));
}

}

std::vector<std::string> urlArguments(std::span<char* const> arguments)
{
    std::vector<std::string> urls;
    // The first is the program's own name.
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] && hasOwnScheme(arguments[i]))
            urls.emplace_back(arguments[i]);
    }
    return urls;
}

std::vector<std::string> readableURLs(std::vector<std::string> const& urls)
{
    std::vector<std::string> kept;
    for (auto const& url : urls) {
        if (auto const why = PupnikCore::URL::refusal(url))
            logRefused(url, *why);
        else
            kept.push_back(url);
    }
    return kept;
}

int toRunningInstance(PawletKit::Paths const& paths, PawletKit::Environment const& environment, std::vector<std::string> const& urls)
{
    if (urls.empty()) {
        Platform::Log::line("Pupnik already runs for this user");
        return 0;
    }
    auto const socket = Platform::InstanceSocket::locate(environment, ::geteuid(), paths.base(), false);
    if (!socket.path) {
        Platform::Log::line("cannot hand the URLs to the running Pupnik: " + socket.problem);
        return 1;
    }
    using Platform::InstanceMessage;
    std::vector<std::string> handed;
    size_t bytes = InstanceMessage::header.size() + 1;
    for (auto const& url : readableURLs(urls)) {
        if (handed.size() == InstanceMessage::maxURLs || bytes + url.size() + 1 > InstanceMessage::maxBytes) {
            logRefused(url, "a start hands over at most " + std::to_string(InstanceMessage::maxURLs) + " URLs in " + std::to_string(InstanceMessage::maxBytes / 1024) + " KiB");
            continue;
        }
        bytes += url.size() + 1;
        handed.push_back(url);
    }
    if (handed.empty()) {
        Platform::Log::line("cannot hand the URLs to the running Pupnik: every one was refused");
        return 1;
    }
    auto const outcome = Platform::InstanceClient::handOver(*socket.path, handed);
    if (!outcome.delivered) {
        Platform::Log::line("cannot hand the URLs to the running Pupnik: " + outcome.problem);
        return 1;
    }
    Platform::Log::line("url: handed " + std::to_string(handed.size()) + " URL(s) to the running Pupnik");
    return 0;
}

}
