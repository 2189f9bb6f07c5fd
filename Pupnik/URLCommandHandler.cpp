#include "Pupnik/URLCommandHandler.hpp"

#include "app-core/URLCommand.hpp"
#include "platform/Log.hpp"

namespace Pupnik {

namespace {

void run(std::function<void()> const& operation)
{
    if (operation)
        operation();
}

}

void URLCommandHandler::handle(std::vector<PupnikCore::URL> const& urls) const
{
    using Kind = PupnikCore::URLCommand::Kind;
    for (auto const& url : urls) {
        auto const command = PupnikCore::URLCommand::from(url);
        if (!command) {
            Platform::Log::line("url: refused " + url.absoluteString() + ": it names no command");
            continue;
        }
        switch (command->kind) {
        case Kind::demo:
            if (playDemo)
                playDemo(*command->clip);
            break;
        case Kind::demoOff:
            run(stopDemo);
            break;
        case Kind::debugStatus:
            run(debugStatus);
            break;
        case Kind::debugCloudStatus:
            run(reportCloudStatus);
            break;
        case Kind::debugFocusWaiting:
            run(focusWaiting);
            break;
        case Kind::unknownDemoState:
            // The parser admits printable ASCII only, so the URL is safe to log as it came.
            Platform::Log::line("unknown demo state in " + url.absoluteString());
            break;
        case Kind::unknown:
            Platform::Log::line("unknown url " + url.absoluteString());
            break;
        }
    }
}

}
