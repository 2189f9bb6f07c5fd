#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace PawletShared::ResourceFile {

// The whole content of a regular file of at most maxBytes bytes. Throws std::system_error: ENOENT
// and the like when it cannot be read, EINVAL when it is not a regular file, EFBIG when it is larger.
std::string read(std::filesystem::path const& path, size_t maxBytes);

}
