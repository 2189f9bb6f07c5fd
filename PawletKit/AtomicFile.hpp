#pragma once

#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace PawletKit::AtomicFile {

// Replaces the file with the bytes in one step: a fresh temporary file in the same folder (never
// through a link left at its name), written, set to the mode, flushed to disk and renamed over the
// target. Readers see the old content or the new, never a mix; on failure the target is untouched
// and the temporary file removed. A target that is a symbolic link is replaced by a regular file;
// callers that must keep links resolve them first. Throws std::system_error.
void write(std::filesystem::path const& path, std::string_view bytes, mode_t mode);

// The same for a copy of a regular file, streamed so a large file is never held in memory whole.
// Anything but a regular file at the source is refused (EINVAL) without being read.
void copy(std::filesystem::path const& source, std::filesystem::path const& path, mode_t mode);

}
