#pragma once

#include "PawletKit/Environment.hpp"
#include "platform/AutostartEntry.hpp"
#include "platform/InstallLayout.hpp"

#include <optional>

namespace Pupnik {

// Starting Pupnik when the user logs in, through the session's autostart entry. Only an installed
// copy can be started that way: a build tree or a loose executable may be gone by the next login.
class LaunchAtLogin final {
public:
    LaunchAtLogin(std::optional<Platform::InstallLayout> layout, Platform::AutostartEntry entry);
    // The running program and the user's autostart folder.
    static LaunchAtLogin forRunningProgram(PawletKit::Environment const& environment);

    bool isAvailable() const;
    bool isEnabled() const;
    // Disables an enabled entry and enables it otherwise (a missing or switched-off one), naming
    // the installed program. Needs isAvailable(); throws std::system_error.
    void toggle() const;

    Platform::AutostartEntry const& entry() const { return m_entry; }

private:
    std::optional<Platform::InstallLayout> m_layout;
    Platform::AutostartEntry m_entry;
};

}
