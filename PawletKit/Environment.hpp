#pragma once

#include <map>
#include <string>

namespace PawletKit {

// A process environment as name to value; programs read theirs once at start.
using Environment = std::map<std::string, std::string>;

Environment currentEnvironment();

}
