#pragma once

#include "PawletKit/Environment.hpp"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace Platform {

// Where the running application listens for the URLs of later starts. The socket sits in a folder
// only the user can enter: $XDG_RUNTIME_DIR/pupnik, else /tmp/pupnik-<uid>. Each support folder has
// its own socket, so instances with support folders of their own (tests) never meet.
class InstanceSocket final {
public:
    static constexpr std::string_view runtimeVariable = "XDG_RUNTIME_DIR";
    // sun_path holds 108 bytes with its terminator.
    static constexpr size_t maxPathBytes = 107;

    // What stands at the folder's path, as lstat sees it.
    struct FolderFacts {
        bool exists { false };
        bool isDirectory { false };
        uid_t owner { 0 };
        mode_t mode { 0 };
    };

    // The socket's path, or why there is none; exactly one of the two is set.
    struct Location {
        std::optional<std::filesystem::path> path;
        std::string problem;
    };

    // $XDG_RUNTIME_DIR/pupnik when the variable holds an absolute path, else /tmp/pupnik-<uid>.
    static std::filesystem::path folder(PawletKit::Environment const& environment, uid_t uid);
    // A name derived from the support folder's path (trailing separators and dot segments aside).
    static std::string socketName(std::filesystem::path const& supportFolder);
    // Why a folder cannot hold the socket, or nothing when it can: it must be a real directory
    // (no link) of the user's, closed to everybody else.
    static std::optional<std::string> folderProblem(FolderFacts const& facts, uid_t uid);
    static FolderFacts inspect(std::filesystem::path const& folder);

    // The socket of this support folder. With `create` the folder is made (mode 0700) when missing;
    // the server creates it, a client only looks.
    static Location locate(PawletKit::Environment const& environment, uid_t uid,
        std::filesystem::path const& supportFolder, bool create);
};

}
