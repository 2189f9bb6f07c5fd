#include "Pupnik/BuildInfo.hpp"

// Given by the build for this file alone, so a new build number recompiles nothing else.
#ifndef PUPNIK_VERSION
#define PUPNIK_VERSION ""
#endif
#ifndef PUPNIK_BUILD
#define PUPNIK_BUILD ""
#endif

namespace Pupnik {

BuildInfo BuildInfo::current()
{
    std::string version = PUPNIK_VERSION;
    std::string build = PUPNIK_BUILD;
    return { version.empty() ? fallbackVersion : version, build.empty() ? fallbackBuild : build };
}

}
