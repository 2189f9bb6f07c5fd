#include "PawletKit/Environment.hpp"

#include <cstring>

extern char** environ;

namespace PawletKit {

Environment currentEnvironment()
{
    Environment environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        char const* equals = std::strchr(*entry, '=');
        if (!equals)
            continue;
        environment.emplace(std::string(static_cast<char const*>(*entry), equals), std::string(equals + 1));
    }
    return environment;
}

}
