#pragma once

#include <string>
#include <string_view>

// Case folding for names and codes that are ASCII: only A to Z change, every other byte (UTF-8
// included) is kept, whatever the process locale.
namespace PawletKit::ASCII {

std::string lowercased(std::string_view text);
bool equalIgnoringCase(std::string_view a, std::string_view b);

}
