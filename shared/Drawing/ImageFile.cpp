#include "shared/Drawing/ImageFile.hpp"

#include "PawletKit/RegularFile.hpp"

namespace PawletShared::ImageFile {

QImage read(std::filesystem::path const& path)
{
    auto bytes = PawletKit::RegularFile::read(path, maxBytes);
    if (!bytes)
        return {};
    return QImage::fromData(reinterpret_cast<uchar const*>(bytes->data()), static_cast<int>(bytes->size()));
}

}
