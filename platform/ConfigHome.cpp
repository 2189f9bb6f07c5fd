#include "platform/ConfigHome.hpp"

namespace Platform {

std::filesystem::path configHome(PawletKit::Environment const& environment)
{
    if (auto found = environment.find("XDG_CONFIG_HOME"); found != environment.end()) {
        std::filesystem::path configHome(found->second);
        if (configHome.is_absolute())
            return configHome;
    }
    std::filesystem::path home = "/";
    if (auto found = environment.find("HOME"); found != environment.end() && !found->second.empty())
        home = found->second;
    return home / ".config";
}

}
