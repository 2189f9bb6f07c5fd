#include "agent-tool/HookRoad.hpp"

#include "agent-tool/ApprovalHook.hpp"
#include "agent-tool/HookInput.hpp"
#include "agent-tool/InputReader.hpp"

#include "PawletKit/HookEvent.hpp"
#include "PawletKit/ProcessAncestry.hpp"
#include "PawletKit/SpoolEvent.hpp"

#include <unistd.h>

namespace AgentTool::HookRoad {

int run(AgentContext const& context, std::string const& event, std::optional<std::string> const& matcher)
{
    bool const isPermissionRequest = event == PawletKit::HookEvent::permissionRequest;
    // The raw bytes (up to 4 MiB) are not kept through a permission request's wait.
    auto input = HookInput::parse(InputReader::readStandardInput({ isPermissionRequest ? InputReader::permissionRequestCap : InputReader::hookCap, 500, 2000 }));
    if (input) {
        auto chain = PawletKit::ProcessAncestry::collect(static_cast<int32_t>(::getppid()), processChainDepth);
        (*input)[std::string(PawletKit::SpoolEvent::procKey)] = chain.jsonObject();
    }
    if (isPermissionRequest && input)
        return ApprovalHook(context).run(std::move(*input), matcher);
    context.appendEvent(event, matcher, input ? &*input : nullptr);
    return 0;
}

int runWithoutEvent(AgentContext const& context)
{
    context.log().append("hook: missing event name");
    return 0;
}

}
