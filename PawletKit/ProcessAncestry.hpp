#pragma once

#include <string_view>

namespace PawletKit::ProcessAncestry {

// "tty" followed by ASCII letters and digits, 4 to 32 characters; on Linux also "pts/N" and "ttyN"-style
// device names with one slash. Checked before a name is ever used to find a terminal.
bool isValidTTYName(std::string_view name);

}
