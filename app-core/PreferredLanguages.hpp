#pragma once

#include "PawletKit/Environment.hpp"

#include <string>
#include <vector>

namespace PupnikCore::PreferredLanguages {

// The user's preferred language identifiers, most preferred first, the way gettext finds them:
// the colon list of LANGUAGE, then the messages locale (the first of LC_ALL, LC_MESSAGES and LANG
// that is set and not empty). Codeset and modifier are dropped ("zh_TW.UTF-8" gives "zh_TW");
// "C" and "POSIX" name no language and are left out.
std::vector<std::string> fromEnvironment(PawletKit::Environment const& environment);

// The same for this process's environment.
std::vector<std::string> ofSystem();

}
