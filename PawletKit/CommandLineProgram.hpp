#pragma once

#include <string>
#include <string_view>

namespace PawletKit::CommandLineProgram {

// The name of the program a command line runs, as agents are recognised by it: the basename of
// argument 0, or, for an interpreter or launcher (node, bun, deno, python, sh, uv, npx…), the
// program it runs: the script, the module (its top-level package) or the tool, found past the
// launcher's options and their values, and through launchers that start launchers. The launcher's
// own name when it runs inline code or nothing. The command line is NUL-separated as in
// /proc/<pid>/cmdline; comm is the name when it is empty.
std::string name(std::string_view commandLine, std::string_view comm);

}
