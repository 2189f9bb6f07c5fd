#pragma once

#include <string>

namespace PawletKit::UUID {

// A random (version 4) UUID in canonical text form, lower case: 36 characters, hexadecimal groups of
// 8, 4, 4, 4 and 12 separated by "-". The bits come from the kernel's random source; throws
// std::system_error when that cannot be read.
std::string randomV4();

}
