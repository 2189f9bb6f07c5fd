#include "app-core/ResourceLocations.hpp"

#include "platform/InstallLayout.hpp"

namespace PupnikCore {

namespace {

std::optional<std::filesystem::path> existingDirectory(std::filesystem::path const& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return path;
    return std::nullopt;
}

}

std::optional<std::filesystem::path> const& resourceBundle()
{
    static std::optional<std::filesystem::path> const found = []() -> std::optional<std::filesystem::path> {
        auto layout = Platform::InstallLayout::ofRunningProgram();
        if (!layout)
            return std::nullopt;
        return existingDirectory(layout->shareDirectory());
    }();
    return found;
}

std::optional<std::filesystem::path> const& localizationFolder()
{
    static std::optional<std::filesystem::path> const found = []() -> std::optional<std::filesystem::path> {
        if (!resourceBundle())
            return std::nullopt;
        return existingDirectory(*resourceBundle() / "i18n");
    }();
    return found;
}

}
