#include "app-core/Focus/WezTermCLI.hpp"

#include "app-core/Focus/ToolListing.hpp"
#include "app-core/Focus/ToolLocations.hpp"

#include "PawletKit/ProcInfo.hpp"

namespace PupnikCore::WezTermCLI {

std::vector<std::filesystem::path> candidatePaths(PawletKit::Environment const& environment)
{
    return ToolLocations::candidates("wezterm", environment, fixedPaths, {});
}

std::vector<std::string> listArguments()
{
    return { "cli", "list", "--format", "json" };
}

std::vector<std::string> activateArguments(int64_t paneId)
{
    return { "cli", "activate-pane", "--pane-id", std::to_string(paneId) };
}

std::optional<int64_t> paneID(std::string_view listing, std::string_view tty)
{
    if (!PawletKit::ProcInfo::isValidTTYName(tty))
        return std::nullopt;
    auto panes = ToolListing::parseObjectArray(listing);
    if (!panes)
        return std::nullopt;
    for (auto const& pane : *panes) {
        auto const* name = PawletKit::JSON::member(&pane, "tty_name");
        if (!name || !name->is_string())
            continue;
        std::string_view device = name->get_ref<std::string const&>();
        if (device.starts_with("/dev/"))
            device.remove_prefix(5);
        if (device != tty)
            continue;
        if (auto id = ToolListing::identifier(&pane, "pane_id"))
            return id;
    }
    return std::nullopt;
}

}
