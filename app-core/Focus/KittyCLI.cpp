#include "app-core/Focus/KittyCLI.hpp"

#include "app-core/Focus/TerminalPaths.hpp"
#include "app-core/Focus/ToolListing.hpp"
#include "app-core/Focus/ToolLocations.hpp"

#include <algorithm>

namespace PupnikCore::KittyCLI {

using PawletKit::JSON::Value;

std::vector<std::filesystem::path> candidatePaths(PawletKit::Environment const& environment)
{
    auto home = ToolLocations::homeDirectory(environment);
    auto installed = [&](std::string_view program) {
        std::vector<std::filesystem::path> paths;
        if (home)
            paths.push_back(*home / ".local/kitty.app/bin" / program);
        return paths;
    };
    auto list = ToolLocations::candidates("kitten", environment, fixedKittenPaths, installed("kitten"));
    ToolLocations::appendUnique(list, ToolLocations::candidates("kitty", environment, fixedKittyPaths, installed("kitty")));
    return list;
}

std::vector<std::string> listArguments()
{
    return { "@", "ls" };
}

std::vector<std::string> focusArguments(int64_t windowId)
{
    return { "@", "focus-window", "--match", "id:" + std::to_string(windowId) };
}

namespace {

// Every kitty window in listing order; nothing when a hostile listing holds more than the bound.
std::optional<std::vector<Value const*>> collectWindows(Value const& osWindows)
{
    std::vector<Value const*> windows;
    for (auto const& osWindow : osWindows) {
        auto const* tabs = ToolListing::objectArray(&osWindow, "tabs");
        if (!tabs)
            continue;
        for (auto const& tab : *tabs) {
            auto const* tabWindows = ToolListing::objectArray(&tab, "windows");
            if (!tabWindows)
                continue;
            if (windows.size() + tabWindows->size() > ToolListing::maxEntries)
                return std::nullopt;
            for (auto const& window : *tabWindows)
                windows.push_back(&window);
        }
    }
    return windows;
}

std::optional<int64_t> byProcess(std::vector<Value const*> const& windows, std::span<int32_t const> pids)
{
    std::vector<int64_t> wanted;
    for (int32_t pid : pids)
        if (pid > 0)
            wanted.push_back(pid);
    if (wanted.empty())
        return std::nullopt;
    for (auto const* window : windows) {
        auto const* processes = ToolListing::objectArray(window, "foreground_processes");
        if (!processes)
            continue;
        for (auto const& process : *processes) {
            auto pid = PawletKit::JSON::toInt(PawletKit::JSON::member(&process, "pid"));
            if (!pid || std::find(wanted.begin(), wanted.end(), *pid) == wanted.end())
                continue;
            if (auto id = ToolListing::identifier(window, "id"))
                return id;
            // A window without a usable id cannot be focused; the next one may run the session too.
            break;
        }
    }
    return std::nullopt;
}

std::optional<int64_t> byDirectory(std::vector<Value const*> const& windows, std::optional<std::string_view> cwd)
{
    auto directory = TerminalPaths::sanitizeCwd(cwd);
    if (!directory)
        return std::nullopt;
    Value const* found = nullptr;
    for (auto const* window : windows) {
        auto const* windowCwd = PawletKit::JSON::member(window, "cwd");
        if (!windowCwd || !windowCwd->is_string())
            continue;
        if (TerminalPaths::sanitizeCwd(windowCwd->get_ref<std::string const&>()) != directory)
            continue;
        if (found)
            return std::nullopt;
        found = window;
    }
    if (!found)
        return std::nullopt;
    return ToolListing::identifier(found, "id");
}

}

std::optional<int64_t> windowID(std::string_view listing, std::span<int32_t const> pids, std::optional<std::string_view> cwd)
{
    auto osWindows = ToolListing::parseObjectArray(listing);
    if (!osWindows)
        return std::nullopt;
    auto windows = collectWindows(*osWindows);
    if (!windows)
        return std::nullopt;
    if (auto id = byProcess(*windows, pids))
        return id;
    return byDirectory(*windows, cwd);
}

}
