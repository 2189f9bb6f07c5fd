#pragma once

#include <stdexcept>
#include <string>

namespace PawletShared {

// A resource file that is JSON but not the record it should hold; the text names the offending key.
class DecodingError final : public std::runtime_error {
public:
    explicit DecodingError(std::string const& what)
        : std::runtime_error(what)
    {
    }
};

}
