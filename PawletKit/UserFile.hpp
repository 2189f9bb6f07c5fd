#pragma once

#include "PawletKit/RegularFile.hpp"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

// A file of the user's that we edit in place, such as another program's settings. Dotfile managers
// keep such files as symbolic links into a repository: writes go through to the link's target, so
// the link stays a link, and the target keeps its mode.
namespace PawletKit::UserFile {

using Reading = PawletKit::RegularFile::Reading;

// The whole file through any links, when it is a regular file of at most maxBytes bytes.
Reading read(std::filesystem::path const& path, size_t maxBytes);

// The path with every symbolic link of its last component followed (relative targets are taken
// from the link's folder); the target itself need not exist. Throws std::system_error (ELOOP).
std::filesystem::path resolve(std::filesystem::path const& path);

// Replaces the file behind any links atomically; an existing regular file keeps its mode, a new
// one gets newFileMode. Anything else at the target is refused with EINVAL. Throws std::system_error.
void write(std::filesystem::path const& path, std::string_view bytes, mode_t newFileMode);

}
