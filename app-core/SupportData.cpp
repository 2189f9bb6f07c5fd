#include "app-core/SupportData.hpp"

#include <functional>
#include <string_view>
#include <system_error>

namespace PupnikCore::SupportData {

namespace {

namespace fs = std::filesystem;
using NameRule = std::function<bool(std::string_view)>;

bool isTemporaryOf(std::string_view name, std::string_view of)
{
    // Temporary files are "." + the target's name + "." + process id (and a counter) + ".tmp".
    return name.size() > of.size() + 6 && name.front() == '.' && name.substr(1, of.size()) == of
        && name[of.size() + 1] == '.' && name.ends_with(".tmp");
}

bool isHiddenTemporary(std::string_view name)
{
    return name.size() > 5 && name.front() == '.' && name.ends_with(".tmp");
}

void removeEntry(fs::path const& path)
{
    std::error_code ignored;
    fs::remove(path, ignored);
}

// Removes the regular files and links whose names the rule knows, descending `depth` more levels
// into real folders, then the folder itself when that left it empty.
void prune(fs::path const& folder, NameRule const& rule, int depth)
{
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(folder, error)))
        return;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    for (auto const& entry : entries) {
        auto status = fs::symlink_status(entry, error);
        if (error)
            continue;
        if (fs::is_directory(status)) {
            if (depth > 0)
                prune(entry, rule, depth - 1);
        } else if (rule(entry.filename().string())) {
            removeEntry(entry);
        }
    }
    if (fs::is_empty(folder, error) && !error)
        removeEntry(folder);
}

}

void remove(PawletKit::Paths const& paths)
{
    auto const& base = paths.base();
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(base, error)))
        return;

    prune(
        paths.binDirectory(), [](std::string_view name) {
            return name == PawletKit::Paths::agentToolName || isTemporaryOf(name, PawletKit::Paths::agentToolName);
        },
        0);
    prune(
        paths.approvalsDirectory(), [](std::string_view name) {
            return name.ends_with(".json") || name.ends_with(".reply") || isHiddenTemporary(name);
        },
        0);
    prune(
        base / "backups", [](std::string_view name) {
            return name.starts_with("settings-") && name.ends_with(".json");
        },
        0);
    // The local cloud records: one folder per container, one JSON file per record.
    prune(
        base / "cloud", [](std::string_view name) {
            return name.ends_with(".json") || isHiddenTemporary(name);
        },
        1);

    for (auto const& file : { paths.config(), paths.agentLog(), paths.spool(), paths.rotatedSpool() }) {
        if (!fs::is_directory(fs::symlink_status(file, error)))
            removeEntry(file);
    }
    std::vector<fs::path> leftovers;
    for (fs::directory_iterator it(base, error), end; !error && it != end; it.increment(error)) {
        auto name = it->path().filename().string();
        if (isTemporaryOf(name, "config.json"))
            leftovers.push_back(it->path());
    }
    for (auto const& leftover : leftovers)
        removeEntry(leftover);

    if (fs::is_empty(base, error) && !error)
        removeEntry(base);
}

}
