#include "Pupnik/URLCommandHandler.hpp"

#include "Pupnik/DebugReports.hpp"
#include "Pupnik/DemoPlayer.hpp"
#include "app-core/URLCommand.hpp"
#include "platform/Log.hpp"

namespace Pupnik {

URLCommandHandler::URLCommandHandler(DemoPlayer& demo, DebugReports& debugReports)
    : m_demo(demo)
    , m_debugReports(debugReports)
{
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
            m_demo.play(*command->clip, std::nullopt);
            break;
        case Kind::demoOff:
            m_demo.stop();
            break;
        case Kind::debugStatus:
            m_debugReports.debugStatus();
            break;
        case Kind::debugCloudStatus:
            m_debugReports.reportCloudStatus();
            break;
        case Kind::debugFocusWaiting:
            m_debugReports.focusWaiting();
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
