#include "app-core/Focus/ToolLocations.hpp"

#include <algorithm>

namespace PupnikCore::ToolLocations {

namespace {

void appendOne(std::vector<std::filesystem::path>& list, std::filesystem::path path)
{
    path = path.lexically_normal();
    if (std::find(list.begin(), list.end(), path) == list.end())
        list.push_back(std::move(path));
}

}

std::vector<std::filesystem::path> searchDirectories(PawletKit::Environment const& environment)
{
    std::vector<std::filesystem::path> directories;
    auto it = environment.find("PATH");
    if (it == environment.end())
        return directories;
    std::string_view rest = it->second;
    while (!rest.empty() && directories.size() < maxSearchDirectories) {
        size_t colon = rest.find(':');
        std::string_view entry = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (entry.empty() || entry.front() != '/' || entry.size() > maxDirectoryBytes || entry.find('\0') != std::string_view::npos)
            continue;
        appendOne(directories, std::filesystem::path(entry));
    }
    return directories;
}

std::optional<std::filesystem::path> homeDirectory(PawletKit::Environment const& environment)
{
    auto it = environment.find("HOME");
    if (it == environment.end() || it->second.empty() || it->second.front() != '/' || it->second.size() > maxDirectoryBytes
        || it->second.find('\0') != std::string::npos)
        return std::nullopt;
    return std::filesystem::path(it->second);
}

std::vector<std::filesystem::path> candidates(std::string_view program, PawletKit::Environment const& environment,
    std::span<std::string_view const> first, std::span<std::filesystem::path const> last)
{
    std::vector<std::filesystem::path> list;
    for (auto const& directory : searchDirectories(environment))
        appendOne(list, directory / program);
    for (auto path : first)
        appendOne(list, std::filesystem::path(path));
    for (std::string_view directory : { "/usr/bin", "/usr/local/bin" })
        appendOne(list, std::filesystem::path(directory) / program);
    if (auto home = homeDirectory(environment))
        appendOne(list, *home / ".local/bin" / program);
    appendOne(list, std::filesystem::path("/snap/bin") / program);
    appendUnique(list, last);
    return list;
}

void appendUnique(std::vector<std::filesystem::path>& list, std::span<std::filesystem::path const> paths)
{
    for (auto const& path : paths)
        appendOne(list, path);
}

}
