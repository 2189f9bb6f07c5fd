#include "shared/ResourceFile.hpp"

#include "PawletKit/RegularFile.hpp"

#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace PawletShared::ResourceFile {

namespace {

[[noreturn]] void fail(int error, std::filesystem::path const& path)
{
    throw std::system_error(error, std::generic_category(), path.string());
}

}

std::string read(std::filesystem::path const& path, size_t maxBytes)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        fail(errno, path);
    if (!S_ISREG(info.st_mode))
        fail(EINVAL, path);
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > maxBytes)
        fail(EFBIG, path);
    auto content = PawletKit::RegularFile::read(path, maxBytes);
    if (!content)
        // Replaced, grown past the cap or unreadable since the look above.
        fail(EIO, path);
    return *content;
}

}
