#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace PawletKit::RegularFile {

// The whole content of a regular file of at most maxBytes bytes, or nothing. Never blocks: a FIFO,
// a device, a socket or a folder gives nothing without being read, and at most maxBytes + 1 bytes
// are read whatever size the file claims, so a file that grows past the cap gives nothing too.
std::optional<std::string> read(std::filesystem::path const& path, size_t maxBytes);

}
