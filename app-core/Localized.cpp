#include "app-core/Localized.hpp"

#include "app-core/Localizer.hpp"

namespace PupnikCore {

std::string localized(std::string_view key) { return Localizer::shared().string(key); }

std::string localizedFormat(std::string_view key, std::vector<PawletShared::TemplateArgument> const& arguments)
{
    return Localizer::shared().format(key, arguments);
}

}
