#include "app-core/PreferredLanguages.hpp"

#include "shared/PreferredLanguages.hpp"

namespace PupnikCore::PreferredLanguages {

std::vector<std::string> fromEnvironment(PawletKit::Environment const& environment) { return PawletShared::PreferredLanguages::fromEnvironment(environment); }

std::vector<std::string> ofSystem() { return PawletShared::PreferredLanguages::ofSystem(); }

}
