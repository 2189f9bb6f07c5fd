#include "platform/InstallLayout.hpp"

#include <system_error>

namespace Platform {

std::optional<InstallLayout> InstallLayout::ofRunningProgram()
{
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || executable.empty())
        return std::nullopt;
    return aroundExecutable(executable);
}

InstallLayout InstallLayout::aroundExecutable(std::filesystem::path const& executable)
{
    InstallLayout layout;
    layout.m_executable = executable;
    auto folder = executable.parent_path();
    if (folder.filename() == "pupnik" && folder.parent_path().filename() == "libexec")
        layout.m_prefix = folder.parent_path().parent_path();
    else
        layout.m_prefix = folder.parent_path();
    return layout;
}

bool InstallLayout::isInstallation() const
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(desktopEntry(), error))
        return false;
    return !std::filesystem::exists(m_prefix / "CMakeCache.txt", error) && !error;
}

}
