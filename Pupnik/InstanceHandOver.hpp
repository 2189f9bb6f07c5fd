#pragma once

#include "PawletKit/Environment.hpp"
#include "PawletKit/Paths.hpp"

#include <span>
#include <string>
#include <vector>

// A later start of Pupnik, while one already runs for the support folder, passes its URLs on to the
// running one and ends: one pet per user, and a "pupnik:" link opened anywhere reaches it.
namespace Pupnik::InstanceHandOver {

// The arguments that are URLs of the application's scheme, in their order; the rest (toolkit
// options) stay for the toolkit.
std::vector<std::string> urlArguments(std::span<char* const> arguments);
// The URLs the application can read, in their order; each other one is logged with what was
// refused and why, and the rest are kept.
std::vector<std::string> readableURLs(std::vector<std::string> const& urls);

// Hands the URLs to the running application and says so on standard error. Those it cannot read or
// past what one hand-over carries (InstanceMessage's bounds) are logged as refused; the others go. The process's exit
// status: 0 when they arrived (or there were none to hand over), 1 with the reason otherwise.
int toRunningInstance(PawletKit::Paths const& paths, PawletKit::Environment const& environment, std::vector<std::string> const& urls);

}
