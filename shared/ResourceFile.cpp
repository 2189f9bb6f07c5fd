#include "shared/ResourceFile.hpp"

#include "PawletKit/RegularFile.hpp"

#include <cerrno>
#include <system_error>
#include <utility>

namespace PawletShared::ResourceFile {

std::string read(std::filesystem::path const& path, size_t maxBytes)
{
    using Outcome = PawletKit::RegularFile::Reading::Outcome;
    auto reading = PawletKit::RegularFile::readWithOutcome(path, maxBytes);
    int error = reading.error;
    switch (reading.outcome) {
    case Outcome::read:
        return std::move(reading.bytes);
    case Outcome::notRegular:
        error = EINVAL;
        break;
    case Outcome::tooLarge:
        error = EFBIG;
        break;
    case Outcome::missing:
    case Outcome::unreadable:
        break;
    }
    throw std::system_error(error, std::generic_category(), path.string());
}

}
