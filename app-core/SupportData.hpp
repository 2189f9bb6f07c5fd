#pragma once

#include "PawletKit/Paths.hpp"

// What the application and the agent tool leave in the support directory, removed on request. The
// folder may be named by PUPNIK_SUPPORT_DIR and so hold files of the user's (set to the home folder
// by mistake, it holds everything): only names we create are removed, links are removed as links
// and never followed, and a folder goes only when nothing else is left in it.
namespace PupnikCore::SupportData {

// Best effort: whatever cannot be removed stays, silently.
void remove(PawletKit::Paths const& paths);

}
