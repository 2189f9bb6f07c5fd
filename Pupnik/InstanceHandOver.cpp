#include "Pupnik/InstanceHandOver.hpp"

#include "PawletKit/ASCII.hpp"
#include "app-core/LaunchURLQueue.hpp"
#include "platform/InstanceClient.hpp"
#include "platform/InstanceSocket.hpp"
#include "platform/Log.hpp"

#include <unistd.h>

namespace Pupnik::InstanceHandOver {

namespace {

bool hasOwnScheme(std::string_view argument)
{
    auto const scheme = PupnikCore::LaunchURLQueue::scheme;
    return argument.size() > scheme.size() && argument[scheme.size()] == ':'
        && PawletKit::ASCII::lowercased(argument.substr(0, scheme.size())) == scheme;
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
    auto const outcome = Platform::InstanceClient::handOver(*socket.path, urls);
    if (!outcome.delivered) {
        Platform::Log::line("cannot hand the URLs to the running Pupnik: " + outcome.problem);
        return 1;
    }
    Platform::Log::line("url: handed " + std::to_string(urls.size()) + " URL(s) to the running Pupnik");
    return 0;
}

}
