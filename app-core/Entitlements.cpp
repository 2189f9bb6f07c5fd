#include "app-core/Entitlements.hpp"

#include "PawletKit/JSON.hpp"
#include "PawletKit/RegularFile.hpp"
#include "platform/InstallLayout.hpp"

#include <algorithm>

namespace PupnikCore::Entitlements {

namespace {

bool contains(std::vector<std::string> const& containers, std::string_view identifier)
{
    return std::find(containers.begin(), containers.end(), identifier) != containers.end();
}

std::vector<std::string> containersOf(Platform::InstallLayout const& layout)
{
    return containersInFile(layout.shareDirectory() / fileName);
}

}

std::vector<std::string> containersFromValue(nlohmann::json const* value)
{
    if (!value)
        return {};
    if (value->is_string())
        return { value->get<std::string>() };
    if (!value->is_array())
        return {};
    std::vector<std::string> containers;
    for (auto const& element : *value) {
        if (!element.is_string())
            return {};
        containers.push_back(element.get<std::string>());
    }
    return containers;
}

std::vector<std::string> containersInFile(std::filesystem::path const& file)
{
    auto bytes = PawletKit::RegularFile::read(file, maxFileBytes);
    if (!bytes)
        return {};
    try {
        auto object = PawletKit::JSON::parse(*bytes);
        return containersFromValue(PawletKit::JSON::member(&object, entitlementKey));
    } catch (nlohmann::json::exception const&) {
        return {};
    }
}

std::vector<std::string> iCloudContainers()
{
    auto layout = Platform::InstallLayout::ofRunningProgram();
    return layout ? containersOf(*layout) : std::vector<std::string> {};
}

bool hasContainer(std::string_view identifier)
{
    return contains(iCloudContainers(), identifier);
}

std::optional<std::vector<std::string>> iCloudContainers(std::filesystem::path const& executable)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(executable, error))
        return std::nullopt;
    return containersOf(Platform::InstallLayout::aroundExecutable(executable));
}

bool hasContainer(std::string_view identifier, std::filesystem::path const& executable)
{
    auto containers = iCloudContainers(executable);
    return containers && contains(*containers, identifier);
}

}
