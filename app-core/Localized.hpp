#pragma once

#include "shared/TemplateArgument.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace PupnikCore {

// A key's text from the application's shared localiser.
std::string localized(std::string_view key);
// A key's template from the shared localiser, filled with the arguments in the order given.
std::string localizedFormat(std::string_view key, std::vector<PawletShared::TemplateArgument> const& arguments);

}
