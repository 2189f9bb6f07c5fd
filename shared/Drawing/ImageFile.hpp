#pragma once

#include <QImage>
#include <cstddef>
#include <filesystem>

namespace PawletShared::ImageFile {

// Larger files are no sprite frame of ours.
inline constexpr size_t maxBytes = 8 << 20;

// The image decoded from a regular file of at most maxBytes; a null image when the file is missing,
// not a regular file (a FIFO would block the reader), too large, or does not decode.
QImage read(std::filesystem::path const& path);

}
