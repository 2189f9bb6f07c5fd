#include "app-core/Focus/GhosttyWindow.hpp"

#include "app-core/Focus/TerminalPaths.hpp"

namespace PupnikCore {

std::optional<std::string> GhosttyWindow::documentPath() const
{
    if (!documentURL)
        return std::nullopt;
    return TerminalPaths::documentPath(*documentURL);
}

}
