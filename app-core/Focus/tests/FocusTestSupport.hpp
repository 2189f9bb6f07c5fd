#pragma once

#include "app-core/Focus/FocusPlan.hpp"
#include "app-core/Focus/GhosttyDecision.hpp"
#include "app-core/Focus/TerminalJump.hpp"

#include <ostream>

namespace PupnikCore {

// Failure messages show jumps, decisions and plans in their short forms.
inline void PrintTo(TerminalJump const& jump, std::ostream* out)
{
    *out << jump.description();
}

inline void PrintTo(GhosttyDecision const& decision, std::ostream* out)
{
    *out << decision.description();
}

inline void PrintTo(FocusPlan const& plan, std::ostream* out)
{
    *out << "pid " << plan.app.pid << " " << plan.app.bundleId.value_or("-") << " " << plan.jump.description();
}

}
